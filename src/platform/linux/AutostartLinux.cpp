#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <stdexcept>

#include "platform/Autostart.h"
#include "platform/DosPaths.h"

namespace kest::autostart {

namespace {

// Beside the base directory: both lie in the user's configuration directory.
QString autostartDirectory() {
    return QFileInfo(dos::baseDirectory()).path() + QStringLiteral("/autostart");
}

// An instance name may hold "/" and anything else but "#"; the file name keeps the
// harmless characters and writes every other byte as %XX, so that two names never
// share one entry.
QString fileNamePart(const QString& instanceSuffix) {
    QString part;
    for (const char byte : instanceSuffix.toUtf8()) {
        const auto c = static_cast<unsigned char>(byte);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '_' || c == '-' || c == '.')
            part += QLatin1Char(byte);
        else
            part += QStringLiteral("%%1").arg(uint{c}, 2, 16, QLatin1Char('0')).toUpper();
    }
    return part;
}

// A string value of a desktop entry: its backslashes are escapes.
QString stringValue(QString text) {
    return text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

// One argument of the Exec key, always quoted. Inside the quotes ", `, $ and \ take a
// backslash; the value as a whole is then a string value, and "%" starts a field code
// unless doubled.
QString execArgument(const QString& argument) {
    QString quoted;
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return stringValue(QLatin1Char('"') + quoted + QLatin1Char('"'))
        .replace(QLatin1Char('%'), QStringLiteral("%%"));
}

QString entryText(const QString& instanceSuffix, const QString& program) {
    QString exec = execArgument(program);
    QString name = QStringLiteral("Kest Redirect");
    if (!instanceSuffix.isEmpty()) {
        // "/# #" names the instance whose trimmed name is empty ("/##" would not close).
        const QString instance = instanceSuffix.mid(1);
        exec +=
            QLatin1Char(' ') +
            execArgument(QStringLiteral("/#") +
                         (instance.isEmpty() ? QStringLiteral(" ") : instance) + QLatin1Char('#'));
        name += QLatin1Char(' ') + instance;
    }
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=%1\n"
               "Comment=Types what a serial port, a TCP connection or a file delivers\n"
               "Exec=%2\n"
               // A program removed since is not started (nor complained about).
               "TryExec=%3\n"
               "Icon=kest-redirect\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n")
        .arg(stringValue(name), exec, stringValue(program));
}

}  // namespace

QString entryPath(const QString& instanceSuffix) {
    return autostartDirectory() + QStringLiteral("/kest-redirect") + fileNamePart(instanceSuffix) +
           QStringLiteral(".desktop");
}

void enable(const QString& instanceSuffix, const QString& program) {
    for (const QChar c : instanceSuffix + program) {
        // A line break would end the Exec line; no launcher passes such an argument on.
        if (c.category() == QChar::Other_Control)
            throw std::runtime_error(
                "an instance name or program path with control characters "
                "cannot be started at login");
    }
    const QString path = entryPath(instanceSuffix);
    if (!QDir().mkpath(autostartDirectory()))
        throw std::runtime_error(
            QStringLiteral("cannot create %1").arg(autostartDirectory()).toStdString());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(entryText(instanceSuffix, program).toUtf8()) < 0 || !file.commit())
        throw std::runtime_error(
            QStringLiteral("cannot write %1: %2").arg(path, file.errorString()).toStdString());
}

bool disable(const QString& instanceSuffix) {
    const QString path = entryPath(instanceSuffix);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return false;
    QFile file(path);
    if (!file.remove())
        throw std::runtime_error(
            QStringLiteral("cannot remove %1: %2").arg(path, file.errorString()).toStdString());
    return true;
}

}  // namespace kest::autostart
