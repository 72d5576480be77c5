// Kest Redirect: text from a serial port, a TCP connection or a watched file, cleaned
// and translated by the user's rules, typed into the active window.

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <QtGlobal>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/KeyboardBackend.h"
#include "app/PlatformHelp.h"
#include "app/StartUp.h"
#include "config/InstanceName.h"
#include "platform/InstanceGuard.h"
#include "platform/LogFile.h"
#include "ui/MainWindow.h"
#include "ui/WindowWidgets.h"

namespace {

// The arguments without the program's own path, read before any application object.
QStringList rawArguments(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The log file's instance suffix, read from the raw arguments: the log must be there
// before the application object, whose start can fail too.
QString logSuffix(const QStringList& arguments) {
    const auto suffix = kest::instanceSuffix(kest::toCp1252(arguments.join(' ')));
    return suffix ? kest::fromCp1252(*suffix) : QString();
}

// An option prints or changes something and ends, with no window and no display.
int runOption(const kest::CommandLine& commandLine, int argc, char* argv[]) {
    kest::useOptionConsole();
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return kest::runCommandLineAction(commandLine, QCoreApplication::applicationFilePath(), out,
                                      err);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication::setApplicationName("Kest_Redirect_Serial_to_KB");
    const QStringList rawArgs = rawArguments(argc, argv);
    const kest::CommandLine commandLine = kest::parseCommandLine(rawArgs);
    if (commandLine.action != kest::CommandLine::Action::Run)
        return runOption(commandLine, argc, argv);

    // Each instance logs to its own file from the first message on. A copy with no
    // terminal (started from a menu, and every copy on Windows) says there why it could
    // not start.
    kest::LogFile log(kest::LogFile::pathFor(logSuffix(rawArgs)));
    log.install();

    // The keyboard comes before the application: without a display Qt would abort with
    // a message about its plugins, where the user needs to hear that there is no
    // display to type into.
    kest::KeyboardBackend backend;
    try {
        backend = kest::openKeyboardBackend();
    } catch (const kest::KeyboardBackendError& e) {
        qCritical("Kest_Redirect_Serial_to_KB: %s", e.what());
        return 1;
    }

    QApplication app(argc, argv);
    // The argument text without the program's own path.
    QStringList arguments = QApplication::arguments();
    if (!arguments.isEmpty()) arguments.removeFirst();

    kest::InstanceGuard guard(kest::InstanceGuard::defaultKey());
    kest::F_MAIN window(*backend.device, *backend.activator);
    kest::StartUp startUp(window, arguments, guard);
    if (!startUp.Form_Load()) return 0;
    // What the keyboard cannot reach on this desktop, and what it finds it cannot do
    // later: said once, where the user looks at what was typed, and in the log.
    window.showNotice(QString::fromUtf8(backend.notice.c_str()));
    backend.device->setNoticeHandler([&window](const std::string& message) {
        window.showNotice(QString::fromUtf8(message.c_str()));
    });
    window.show();
    return QApplication::exec();
}
