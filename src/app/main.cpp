// Kest Redirect: text from a serial port, a TCP connection or a watched file, cleaned
// and translated by the user's rules, typed into the active window.

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTextStream>
#include <QTimer>
#include <QtGlobal>
#include <chrono>
#include <cstdio>
#include <memory>

#include "app/CommandLine.h"
#include "app/KeyboardBackend.h"
#include "app/PlatformHelp.h"
#include "app/RunningInstance.h"
#include "app/StartUp.h"
#include "config/InstanceName.h"
#include "platform/InstanceGuard.h"
#include "platform/LogFile.h"
#include "platform/SessionEnd.h"
#include "ui/MainWindow.h"
#include "ui/WindowWidgets.h"

namespace {

constexpr int kRefusalShownMs = 15000;

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

// A copy that does not start says why where a user looks: a copy started from a menu
// has no terminal. The message closes itself, so an unattended start leaves nothing.
void tellWhyNotStarted(const QString& why) {
    if (why.isEmpty()) return;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Kest Redirect"), why,
                    QMessageBox::Ok);
    QTimer::singleShot(kRefusalShownMs, &box, &QMessageBox::accept);
    box.exec();
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
    auto owned = std::make_unique<kest::F_MAIN>(*backend.device, *backend.activator);
    auto startUp = std::make_unique<kest::StartUp>(*owned, arguments, guard);
    if (!startUp->Form_Load()) {
        // The window goes before the message: its channels' timers would run meanwhile,
        // and a refused copy must watch no file and connect nowhere.
        const QString why = startUp->refusal();
        std::unique_ptr<kest::RunningInstance> running = startUp->takeRunningInstance();
        startUp.reset();
        owned.reset();
        tellWhyNotStarted(why);
        // Then the running copy's window comes forward once more, and has the keyboard.
        if (running) running->askToShow(std::chrono::seconds(2));
        return 0;
    }
    kest::F_MAIN& window = *owned;
    // What the keyboard cannot reach on this desktop, and what it finds it cannot do
    // later: said once, where the user looks at what was typed, and in the log.
    window.showNotice(QString::fromUtf8(backend.notice.c_str()));
    backend.device->setNoticeHandler([&window](const std::string& message) {
        window.showNotice(QString::fromUtf8(message.c_str()));
    });
    // A logout or a shutdown ends the program as closing its window does.
    kest::watchSessionEnd(
        {[&window] { window.B_SAVE_Click(); }, [&startUp] { startUp->Form_Unload(); }});
    window.show();
    return QApplication::exec();
}
