#include <QDir>

#include "app/PlatformHelp.h"
#include "platform/LogFile.h"

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
               "Start at login: a shortcut to the program, with its instance argument, in the\n"
               "  Startup folder (shell:startup).\n")
        .arg(QDir::toNativeSeparators(LogFile::pathFor(QString())),
             QDir::toNativeSeparators(LogFile::pathFor(QStringLiteral("_INSTANCE_NAME"))));
}

}  // namespace kest
