// The instance rule on a named mutex, against the fake kernel32.

#include <gtest/gtest.h>

#include "FakeWin32Calls.h"
#include "platform/win32/Win32InstanceRule.h"

namespace kest::win32 {
namespace {

TEST(Win32InstanceRule, UnnamedCopyEndsBesideAnyCopyNamedCopiesAlwaysRun) {
    testing::FakeWin32Calls calls;
    const std::wstring name = instanceMutexName(QStringLiteral("C:\\Users\\ann\\instances.lock"));
    Handle first = kNoHandle, second = kNoHandle, named = kNoHandle;
    ASSERT_TRUE(enterInstance(calls, name, true, &first));
    EXPECT_FALSE(enterInstance(calls, name, true, &second));
    EXPECT_EQ(second, kNoHandle);
    EXPECT_EQ(calls.openHandles(), 1u);  // the copy that ends keeps nothing
    EXPECT_TRUE(enterInstance(calls, name, false, &named));
    calls.closeHandle(first);
    // A named copy alone keeps unnamed ones out just the same.
    EXPECT_FALSE(enterInstance(calls, name, true, &second));
    calls.closeHandle(named);
    EXPECT_TRUE(enterInstance(calls, name, true, &second));
    // A valid kernel object name (no "\\" after its namespace), following the key but
    // not its letter case.
    EXPECT_EQ(name.rfind(L"Local\\", 0), 0u);
    EXPECT_EQ(name.find(L'\\', 6), std::wstring::npos);
    EXPECT_EQ(name, instanceMutexName(QStringLiteral("c:\\users\\ANN\\INSTANCES.LOCK")));
    EXPECT_NE(name, instanceMutexName(QStringLiteral("C:\\Users\\Bob\\instances.lock")));
}

// A copy that runs as administrator holds a mutex that ours may not open: that is a
// copy running, not a missing mutex. Without any mutex at all the copy runs.
TEST(Win32InstanceRule, AMutexOfAnElevatedCopyCountsAsACopyRunning) {
    testing::FakeWin32Calls calls;
    calls.createMutexErrors = {kErrorAccessDenied, kErrorAccessDenied};
    Handle held = 42;
    EXPECT_FALSE(enterInstance(calls, L"Local\\x", true, &held));
    EXPECT_EQ(held, kNoHandle);
    EXPECT_TRUE(enterInstance(calls, L"Local\\x", false, &held));
    calls.createMutexErrors.push_back(1450);  // ERROR_NO_SYSTEM_RESOURCES
    EXPECT_TRUE(enterInstance(calls, L"Local\\x", true, &held));
    EXPECT_EQ(held, kNoHandle);
}

}  // namespace
}  // namespace kest::win32
