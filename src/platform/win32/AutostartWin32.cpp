#include "platform/Autostart.h"
#include "platform/win32/Win32Autostart.h"

namespace kest::autostart {

QString entryPath(const QString& instanceSuffix) {
    return QStringLiteral("HKEY_CURRENT_USER\\%1, value \"%2\"")
        .arg(QString::fromWCharArray(win32::kRunKey),
             QString::fromStdWString(win32::autostartValueName(instanceSuffix)));
}

void enable(const QString& instanceSuffix, const QString& program) {
    win32::enableAutostart(win32::systemWin32Calls(), instanceSuffix, program);
}

bool disable(const QString& instanceSuffix) {
    return win32::disableAutostart(win32::systemWin32Calls(), instanceSuffix);
}

}  // namespace kest::autostart
