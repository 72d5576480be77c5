// Kest Redirect: text from a serial port, a TCP connection or a watched file, cleaned
// and translated by the user's rules, typed into the active window.

#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "app/KeyboardBackend.h"
#include "app/StartUp.h"
#include "config/InstanceName.h"
#include "platform/InstanceGuard.h"
#include "platform/LogFile.h"
#include "ui/MainWindow.h"
#include "ui/WindowWidgets.h"

int main(int argc, char* argv[]) {
    // The keyboard comes first: without a display Qt would abort with a message about
    // its plugins, where the user needs to hear that there is no display to type into.
    kest::KeyboardBackend backend;
    try {
        backend = kest::openKeyboardBackend();
    } catch (const kest::KeyboardBackendError& e) {
        std::fprintf(stderr, "Kest_Redirect_Serial_to_KB: %s\n", e.what());
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("Kest_Redirect_Serial_to_KB");

    // The argument text without the program's own path.
    QStringList arguments = QApplication::arguments();
    if (!arguments.isEmpty()) arguments.removeFirst();

    // Each instance logs to its own file, from the first message on.
    const auto suffix = kest::instanceSuffix(kest::toCp1252(arguments.join(' ')));
    kest::LogFile log(kest::LogFile::pathFor(suffix ? kest::fromCp1252(*suffix) : QString()));
    log.install();

    kest::InstanceGuard guard(kest::InstanceGuard::defaultKey());
    kest::F_MAIN window(*backend.device, *backend.activator);
    kest::StartUp startUp(window, arguments, guard);
    if (!startUp.Form_Load()) return 0;
    window.show();
    return QApplication::exec();
}
