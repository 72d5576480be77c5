#include "platform/win32/Win32Paths.h"

#include <QDir>
#include <string>

#include "platform/DosPaths.h"

namespace kest::win32 {

namespace {

const QString kOwnFolder = QStringLiteral("/kest-redirect");

// Absolute in the Windows sense, checked by hand so that the answer is the same when
// this runs on Linux: "X:\..." or "X:/...", or a UNC path "\\server\share".
bool isAbsoluteWindowsPath(const QString& path) {
    if (dos::isDosPath(path) && path.size() > 2) return true;
    return path.startsWith(QStringLiteral("\\\\")) || path.startsWith(QStringLiteral("//"));
}

}  // namespace

QString baseDirectoryFrom(const QString& localAppData, const QString& fallback) {
    const QString root = isAbsoluteWindowsPath(localAppData) ? localAppData : fallback;
    QString base = root;
    base.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    return base + kOwnFolder;
}

QString nativePathOf(const QString& path) {
    QString native = path;
    native.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (dos::isDosPath(native) && native.size() == 2) native += QLatin1Char('/');
    return native;
}

QString comDeviceName(int portNumber) {
    if (portNumber < 1 || portNumber > dos::kMaxComPort) return {};
    return QStringLiteral("\\\\.\\COM") + QString::number(portNumber);
}

bool serialPortListed(Win32Calls& calls, const QString& device) {
    const QString port = device.mid(device.lastIndexOf(QLatin1Char('\\')) + 1);
    std::map<std::wstring, std::wstring> values;
    if (calls.registryStrings(RegistryRoot::LocalMachine, L"HARDWARE\\DEVICEMAP\\SERIALCOMM",
                              &values) != kErrorSuccess)
        return false;
    for (const auto& [driver, name] : values) {
        if (QString::fromStdWString(name).compare(port, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

}  // namespace kest::win32
