#include <QDir>

#include "app/PlatformHelp.h"
#include "platform/Autostart.h"
#include "platform/LogFile.h"
#include "platform/win32/Win32Console.h"

namespace kest {

QString platformHelp() {
    return QStringLiteral(
               "Configuration: five files in C:\\TALVEN.CFG, or C:\\TALVEN.CFG_INSTANCE_NAME\n"
               "  for a named instance.\n"
               "Serial ports: COMn is Windows' own port COMn (1 to 255).\n"
               "Logs: warnings and errors go to\n"
               "    %1\n"
               "    %2 (a named instance)\n"
               "  each kept below 1 MiB.\n"
               "Start at login: --autostart on writes\n"
               "    %3\n"
               "    %4 (a named instance)\n")
        .arg(QDir::toNativeSeparators(LogFile::pathFor(QString())),
             QDir::toNativeSeparators(LogFile::pathFor(QStringLiteral("_INSTANCE_NAME"))),
             autostart::entryPath(QString()),
             autostart::entryPath(QStringLiteral("_INSTANCE_NAME")));
}

void useOptionConsole() {
    win32::useParentConsole(win32::systemWin32Calls());
}

}  // namespace kest
