#include "app/PlatformHelp.h"

#include "platform/Autostart.h"
#include "platform/DosPaths.h"
#include "platform/LogFile.h"

namespace kest {

QString platformHelp() {
    const QString named = QStringLiteral("_INSTANCE_NAME");
    return QStringLiteral(
               "Configuration: five files in C:\\TALVEN.CFG, or C:\\TALVEN.CFG_INSTANCE_NAME for\n"
               "  a named instance. Drive C: is the directory that\n"
               "    %1/dosdevices/c:\n"
               "  links to, else\n"
               "    %1/drive_c\n"
               "Serial ports: COM1-32 are /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31, COM65-96\n"
               "  /dev/ttyACM0-31; a link\n"
               "    %1/dosdevices/comN\n"
               "  makes COMn any other device. Opening a port needs membership of its group\n"
               "  (on Debian: sudo adduser $USER dialout, then log in again).\n"
               "Logs: warnings and errors go to standard error and to\n"
               "    %2\n"
               "    %3 (a named instance)\n"
               "  each kept below 1 MiB.\n"
               "Start at login: --autostart on writes\n"
               "    %4\n"
               "    %5 (a named instance)\n")
        .arg(dos::baseDirectory(), LogFile::pathFor(QString()), LogFile::pathFor(named),
             autostart::entryPath(QString()), autostart::entryPath(named));
}

// The standard streams are the terminal's, or wherever they were sent.
void useOptionConsole() {}

}  // namespace kest
