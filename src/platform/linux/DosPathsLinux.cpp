#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "platform/DosPaths.h"

namespace kest::dos {

namespace {

struct DeviceRange {
    int firstPort;
    int lastPort;
    const char* devicePrefix;
};

// The conventional names of on-board, USB-serial and CDC-ACM ports, in that order.
constexpr DeviceRange kDefaultDevices[] = {
    {1, 32, "/dev/ttyS"},
    {33, 64, "/dev/ttyUSB"},
    {65, 96, "/dev/ttyACM"},
};

QString dosDevicesDir() {
    return baseDirectory() + QStringLiteral("/dosdevices");
}

// A link counts even when it dangles: the user named that device, and opening a
// device that is not there must fail rather than fall back to another one.
bool linkOrFileExists(const QString& path) {
    QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString driveRoot(QChar letter) {
    const QChar lower = letter.toLower();
    const QString mapped = dosDevicesDir() + QLatin1Char('/') + lower + QLatin1Char(':');
    if (lower != QLatin1Char('c') || linkOrFileExists(mapped)) return mapped;
    const QString driveC = baseDirectory() + QStringLiteral("/drive_c");
    if (!QDir().mkpath(driveC)) qWarning() << "DosPaths: cannot create" << driveC;
    return driveC;
}

}  // namespace

QString baseDirectory() {
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return xdg + QStringLiteral("/kest-redirect");
    return QDir::homePath() + QStringLiteral("/.config/kest-redirect");
}

QString nativePath(const QString& path) {
    if (path.startsWith(QLatin1Char('/'))) return path;
    QString rest = path;
    if (!isDosPath(path)) return rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    rest = path.mid(2).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (rest.isEmpty()) rest = QStringLiteral("/");
    return driveRoot(path.at(0)) + rest;
}

QString comPortDevice(int portNumber) {
    if (portNumber < 1 || portNumber > kMaxComPort) return {};
    const QString link = dosDevicesDir() + QStringLiteral("/com") + QString::number(portNumber);
    if (linkOrFileExists(link)) {
        const QFileInfo info(link);
        // Resolve once, so that the port is named by the device itself (its lock file
        // and error texts then say which device it is).
        return info.isSymLink() ? info.symLinkTarget() : link;
    }
    for (const DeviceRange& range : kDefaultDevices) {
        if (portNumber >= range.firstPort && portNumber <= range.lastPort) {
            return QLatin1String(range.devicePrefix) +
                   QString::number(portNumber - range.firstPort);
        }
    }
    return {};
}

QStringList driveNames() {
    static const QRegularExpression driveName(QStringLiteral("^[a-z]:$"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QDir devices(dosDevicesDir());
    // System includes dangling links.
    QStringList drives{QStringLiteral("c:")};
    for (const QString& name : devices.entryList(QDir::AllEntries | QDir::System)) {
        if (driveName.match(name).hasMatch() && !drives.contains(name.toLower()))
            drives << name.toLower();
    }
    drives.sort();
    return drives;
}

}  // namespace kest::dos
