#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDebug>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

#include "platform/SessionEnd.h"

namespace kest {

namespace {

// The signal handler may only write a byte; the event loop reads it and does the rest.
int wakeUp[2] = {-1, -1};

void onSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(wakeUp[1], &byte, 1);
    errno = saved;
}

}  // namespace

void watchSessionEnd(SessionEndHandlers handlers) {
    if (wakeUp[0] >= 0) return;  // one watch per run
    if (::pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning() << "session end: no pipe for signals:" << std::strerror(errno);
        return;
    }
    auto* notifier = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [notifier, end = std::move(handlers.end)] {
                         char bytes[16];
                         while (::read(wakeUp[0], bytes, sizeof bytes) > 0) {
                         }
                         notifier->setEnabled(false);
                         qWarning(
                             "ending on a signal from the system; the configuration is "
                             "saved first");
                         end();
                     });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Once: a second signal finds the default action and ends the program outright,
    // should the orderly way hang.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

}  // namespace kest
