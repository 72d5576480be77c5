#include <QDir>
#include <QStandardPaths>

#include "platform/DosPaths.h"
#include "platform/win32/Win32Calls.h"
#include "platform/win32/Win32Paths.h"

namespace kest::dos {

QString baseDirectory() {
    return win32::baseDirectoryFrom(
        qEnvironmentVariable("LOCALAPPDATA"),
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

QString nativePath(const QString& path) {
    return win32::nativePathOf(path);
}

QString comPortDevice(int portNumber) {
    return win32::comDeviceName(portNumber);
}

QStringList driveNames() {
    QStringList drives;
    for (const QFileInfo& root : QDir::drives()) drives << root.path().left(2).toLower();
    drives.sort();
    return drives;
}

}  // namespace kest::dos
