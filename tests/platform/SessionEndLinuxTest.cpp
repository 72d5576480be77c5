// The system ending the program on Linux: SIGTERM, SIGINT and SIGHUP each end it the
// orderly way, on the event loop, once.

#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "platform/SessionEnd.h"

namespace kest {
namespace {

TEST(SessionEndLinux, ASignalEndsTheProgramOnTheEventLoopOnce) {
    int argc = 1;
    char name[] = "session-end";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    int saves = 0;
    int ends = 0;
    watchSessionEnd({[&] { ++saves; }, [&] { ++ends; }});
    ASSERT_EQ(::raise(SIGHUP), 0);
    EXPECT_EQ(ends, 0);  // not inside the signal handler
    QElapsedTimer clock;
    clock.start();
    while (ends == 0 && clock.elapsed() < 5000) QCoreApplication::processEvents();
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(saves, 0);  // the end saves itself
    // The same signal again would now end the process at once; another one is quiet.
    ASSERT_EQ(::raise(SIGINT), 0);
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace kest
