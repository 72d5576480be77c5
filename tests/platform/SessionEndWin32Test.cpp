// The end of a Windows session as the program sees it: the question saves, and only an
// end that really comes ends the program; each once, though Windows asks every window.

#include <windows.h>

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "platform/SessionEnd.h"

namespace kest {
namespace {

// What Windows sends, handed to the program's event loop as a message of its thread.
void deliver(UINT message, WPARAM ending) {
    ASSERT_TRUE(::PostThreadMessageW(::GetCurrentThreadId(), message, ending, ENDSESSION_LOGOFF));
    QCoreApplication::processEvents();
}

TEST(SessionEndWin32, TheQuestionSavesAndOnlyARealEndEnds) {
    int argc = 1;
    char name[] = "session-end";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    int saves = 0, ends = 0;
    watchSessionEnd({[&] { ++saves; }, [&] { ++ends; }});
    deliver(WM_QUERYENDSESSION, 0);
    deliver(WM_QUERYENDSESSION, 0);
    EXPECT_EQ(saves, 1);
    deliver(WM_ENDSESSION, FALSE);  // another program said no: the session goes on
    EXPECT_EQ(ends, 0);
    deliver(WM_QUERYENDSESSION, 0);
    EXPECT_EQ(saves, 2);
    deliver(WM_ENDSESSION, TRUE);
    deliver(WM_ENDSESSION, TRUE);
    EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace kest
