// Where an option's output goes on Windows, and start at login in the registry,
// against the fake kernel32 and registry.

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <tuple>

#include "FakeWin32Calls.h"
#include "platform/win32/Win32Autostart.h"
#include "platform/win32/Win32Console.h"

namespace kest::win32 {
namespace {

// Started from cmd as `... --explain < sample.txt`: the sample stays the input, the
// output and the errors go to cmd's console. Every stream redirected, or no console
// to go to (started from a shortcut), attaches nothing.
TEST(Win32Console, OptionsPrintToTheParentConsoleExceptWhatWasRedirected) {
    const std::tuple<std::set<StandardStream>, bool, bool, std::vector<StandardStream>> cases[] = {
        {{StandardStream::Input}, true, true, {StandardStream::Output, StandardStream::Error}},
        {{StandardStream::Input, StandardStream::Output, StandardStream::Error}, true, false, {}},
        {{}, false, false, {}}};
    for (const auto& [redirected, parentHasConsole, attaches, reopened] : cases) {
        testing::FakeWin32Calls calls;
        calls.redirected = redirected;
        calls.parentHasConsole = parentHasConsole;
        useParentConsole(calls);
        EXPECT_EQ(calls.attachedToConsole, attaches);
        EXPECT_EQ(calls.reopened, reopened);
    }
}

TEST(Win32Autostart, EachInstanceHasAValueThatStartsTheProgramAsIt) {
    testing::FakeWin32Calls calls;
    const QString program =
        QStringLiteral("C:/Program Files/Kest Redirect/Kest_Redirect_Serial_to_KB.exe");
    const std::wstring exe =
        L"\"C:\\Program Files\\Kest Redirect\\Kest_Redirect_Serial_to_KB.exe\"";
    enableAutostart(calls, QStringLiteral("_Scanner  1"), program);
    enableAutostart(calls, QString(), program);
    enableAutostart(calls, QStringLiteral("_"), program);  // the name of blanks only
    const auto& run = calls.registry.at({RegistryRoot::CurrentUser, kRunKey});
    EXPECT_EQ(run.at(L"Kest Redirect_Scanner  1"), exe + L" \"/#Scanner  1#\"");
    EXPECT_EQ(run.at(L"Kest Redirect"), exe);
    EXPECT_EQ(run.at(L"Kest Redirect_"), exe + L" \"/# #\"");

    EXPECT_TRUE(disableAutostart(calls, QStringLiteral("_Scanner  1")));
    EXPECT_FALSE(disableAutostart(calls, QStringLiteral("_Scanner  1")));
    EXPECT_EQ(run.size(), 2u);
    calls.registryErrors.push_back(kErrorAccessDenied);
    EXPECT_THROW(enableAutostart(calls, QString(), program), std::runtime_error);
}

// As CommandLineToArgvW and the C runtime split them: backslashes are doubled only
// before a quote (the closing one included), and a quote is escaped.
TEST(Win32Autostart, ArgumentsAreQuotedAsWindowsSplitsThem) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"a b", L"\"a b\""},   {L"a\"b", L"\"a\\\"b\""},       {L"a\\\\b", L"\"a\\\\b\""},
        {L"a\\", L"\"a\\\\\""}, {L"a\\\"b", L"\"a\\\\\\\"b\""}, {L"", L"\"\""},
    };
    for (const auto& [argument, quoted] : cases) EXPECT_EQ(quotedArgument(argument), quoted);
}

}  // namespace
}  // namespace kest::win32
