// The crash-safe save's Windows steps, against the fake kernel32: whole writes over
// short ones, no handle left open on any path, the write-through replace and its
// patience with a passing reader, the save lock.

#include <gtest/gtest.h>

#include "FakeWin32Calls.h"
#include "platform/win32/Win32DurableFiles.h"

namespace kest::win32 {
namespace {

const std::filesystem::path kPending{"/cfg/GENERAL.CFG.new"};
const std::filesystem::path kTarget{"/cfg/GENERAL.CFG"};

// Short writes still give the whole file; every failure is reported and closes it.
TEST(Win32DurableWrite, WholeFileOverShortWritesAndEveryFailureReported) {
    testing::FakeWin32Calls calls;
    calls.writeChunk = 3;
    std::string error;
    ASSERT_TRUE(writeDurably(calls, kPending, "0.2\r\n9600,N,8,1\r\n", &error)) << error;
    EXPECT_EQ(calls.files[kPending].bytes, "0.2\r\n9600,N,8,1\r\n");
    calls.writeErrors.push_back(112);  // ERROR_DISK_FULL
    EXPECT_FALSE(writeDurably(calls, kPending, "abc", &error));
    EXPECT_NE(error.find("GENERAL.CFG.new"), std::string::npos) << error;
    EXPECT_NE(error.find("error 112"), std::string::npos) << error;
    calls.flushErrors.push_back(kErrorAccessDenied);
    EXPECT_FALSE(writeDurably(calls, kPending, "abc", &error));
    EXPECT_NE(error.find("flush"), std::string::npos) << error;
    // A write that takes nothing and says nothing must not loop for ever.
    calls.writeChunk = 0;
    EXPECT_FALSE(writeDurably(calls, kPending, "abc", &error));
    EXPECT_EQ(calls.openHandles(), 0u);
}

// One write-through move; a passing reader is waited out, no other failure is.
TEST(Win32DurableReplace, OneWriteThroughMoveWaitingOutAPassingReaderOnly) {
    testing::FakeWin32Calls calls;
    calls.writeAsUser(kTarget, "old");
    calls.writeAsUser(kPending, "new");
    calls.moveErrors = {kErrorSharingViolation, kErrorAccessDenied};
    std::string error;
    ASSERT_TRUE(replaceDurably(calls, kPending, kTarget, &error)) << error;
    EXPECT_EQ(calls.sleeps, (std::vector<unsigned>{kReplaceRetryMs, kReplaceRetryMs}));
    EXPECT_EQ(calls.files[kTarget].bytes, "new");
    EXPECT_FALSE(calls.files.count(kPending));
    EXPECT_EQ(calls.lastMoveFlags, kMoveReplaceExisting | kMoveWriteThrough);

    // A reader that never lets go: the save fails after about a second, old file whole.
    calls.writeAsUser(kPending, "newer");
    calls.sleeps.clear();
    calls.moveErrors.assign(kReplaceAttempts + 5, kErrorAccessDenied);
    EXPECT_FALSE(replaceDurably(calls, kPending, kTarget, &error));
    EXPECT_EQ(calls.moveErrors.size(), 5u);  // one move per attempt
    EXPECT_EQ(calls.sleeps.size(), std::size_t(kReplaceAttempts - 1));
    EXPECT_EQ(calls.files[kTarget].bytes, "new");
    EXPECT_NE(error.find("GENERAL.CFG"), std::string::npos) << error;

    // No retry where nothing will change.
    calls.moveErrors.clear();
    calls.sleeps.clear();
    EXPECT_FALSE(replaceDurably(calls, "/cfg/missing", kTarget, &error));
    EXPECT_TRUE(calls.sleeps.empty());
}

// A lock that cannot be had (the fake refuses where Windows would wait) leaves no
// handle behind: the save goes on without it.
TEST(Win32SaveLock, HeldOnTheDirectorysLockFileAndNoHandleLeftWhenRefused) {
    testing::FakeWin32Calls calls;
    const Handle held = lockForSave(calls, "/cfg");
    ASSERT_NE(held, kNoHandle);
    EXPECT_EQ(calls.lockHolders.at("/cfg/.save.lock"), held);
    EXPECT_EQ(lockForSave(calls, "/cfg"), kNoHandle);
    EXPECT_EQ(calls.openHandles(), 1u);
}

}  // namespace
}  // namespace kest::win32
