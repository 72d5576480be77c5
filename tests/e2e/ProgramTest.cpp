// The whole program on a private display: a long text from a TCP server typed into an
// xterm, saves on closing and on a signal with the serial port freed, the
// single-instance rule, and a start without a display.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "e2e/ProgramHarness.h"

namespace kest::e2e {
namespace {

class ProgramTest : public ProgramFixture {};

// Letters in an order that does not repeat within a short distance, so that a piece
// typed twice, lost or out of order shows in the comparison; no '5', which the rules
// rewrite.
std::string letters(std::size_t count) {
    std::string text;
    std::uint32_t state = 12345;
    while (text.size() < count) {
        state = state * 1103515245u + 12345u;
        text += static_cast<char>('a' + (state >> 16) % 26);
    }
    return text;
}

// A long text in the client role, typed whole and in order. Where the channel splits
// it is its own business: each piece comes between the prefix and the suffix.
TEST_F(ProgramTest, AHundredThousandCharactersFromTheTcpServerAreTypedWholeInOrder) {
    XtermReceiver xterm(display, kReceiver);
    Listener server;
    writeScannerConfig(1, scanner(kReceiver, "127.0.0.1", server.port()));
    auto program = startProgram({});
    const int peer = server.acceptWithin(15000);
    ASSERT_GE(peer, 0) << "the program never connected";
    const std::string data = letters(100000);
    for (std::size_t sent = 0; sent < data.size();) {
        const ssize_t n = ::write(peer, data.data() + sent, data.size() - sent);
        ASSERT_GT(n, 0);
        sent += static_cast<std::size_t>(n);
    }
    const auto typed = [&] {
        std::string text = xterm.received();
        std::erase(text, '<');
        std::erase(text, '>');
        return text;
    };
    ASSERT_TRUE(waitForGrowth([&] { return typed().size(); }, data.size(), 20s))
        << typed().size() << " of " << data.size() << " typed";
    ASSERT_TRUE(waitUntil([&] { return xterm.received().back() == '>'; }));
    EXPECT_EQ(xterm.received().front(), '<');
    EXPECT_TRUE(typed() == data) << "typed text differs";
    ::close(peer);
}

// The process that holds QSerialPort's lock file for a device ("LCK..pts_3" for
// /dev/pts/3, in the first of its lock directories it may write to), or 0.
pid_t serialLockHolder(const std::string& device) {
    std::string name = device.substr(std::string("/dev/").size());
    std::replace(name.begin(), name.end(), '/', '_');
    for (const char* dir : {"/var/lock", "/run/lock", "/tmp", "/var/tmp"}) {
        const std::string content = readFile(std::string(dir) + "/LCK.." + name);
        if (!content.empty()) return static_cast<pid_t>(std::atol(content.c_str()));
    }
    return 0;
}

TEST_F(ProgramTest, ClosingOrASignalSavesTheUnlockedPanelAndFreesThePortThePathIsKept) {
    SerialDevice serial(base(), 5);
    const std::string device = std::filesystem::read_symlink(base() + "/dosdevices/com5");
    writeScannerConfig(5);
    const std::string watched = tmp.path() + "/scans.txt";
    for (const bool bySignal : {false, true}) {
        auto program = startProgram({});
        ASSERT_TRUE(waitForMainWindow());
        ASSERT_TRUE(waitUntil([&] { return serialLockHolder(device) == program->pid(); }))
            << "the port " << device << " was not opened";
        const int locked = mainWindowHeight();
        typeIntoMainWindow("open.the.panel");
        ASSERT_TRUE(waitUntil([&] { return mainWindowHeight() > locked + 300; }));
        // A rule typed into the two fields and added, and (once) the watched file.
        const std::string rule = bySignal ? "8" : "7";
        clickIntoMainWindow(60, 419, rule);
        clickIntoMainWindow(177, 419, rule + "x");
        clickIntoMainWindow(207, 441);
        if (!bySignal) clickIntoMainWindow(97, 199, watched, true);
        if (bySignal) {
            program->signal(SIGTERM);  // as a logout does
        } else {
            closeMainWindow();
        }
        const int status = program->wait(std::chrono::seconds(20));
        ASSERT_NE(status, -1) << "the program did not end";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        const auto files = configFiles();
        EXPECT_NE(files.at("TOUCHE_INP.CFG").find(rule + "\r\n"), std::string::npos)
            << files.at("TOUCHE_INP.CFG");
        EXPECT_NE(files.at("TOUCHE_OUT.CFG").find(rule + "x\r\n"), std::string::npos);
        EXPECT_NE(serialLockHolder(device), program->pid()) << "the port's lock file is left";
    }
    EXPECT_EQ(readFile(configDir() + "/FILE_INP.CFG"), watched + "\r\n");
}

TEST_F(ProgramTest, ACopyThatMustNotRunSaysWhyAndEndsOtherNamesRunSideBySide) {
    writeConfig("TOUCHE_OUT.CFG", "");
    writeConfig("TOUCHE_INP.CFG", "9\r\n", "_Second");
    writeConfig("TOUCHE_OUT.CFG", "9x\r\n", "_Second");
    writeConfig("TOUCHE_OUT.CFG", "", "_Third");
    // Only a copy that runs with the default settings would watch this file.
    writeConfig("FILE_INP.CFG", "C:\\ELSEWHERE.TXT\r\n", "_Second");
    appendTo(base() + "/drive_c/FILE_IN.TXT", "typed by nobody\r\n");
    const auto marked = [&] {
        return std::filesystem::exists(base() + "/file-marks") &&
               !std::filesystem::is_empty(base() + "/file-marks");
    };
    auto named = startProgram({"/#Second#"});
    ASSERT_TRUE(waitForMainWindow("_Second"));
    const auto saved = configFiles("_Second");
    // An unnamed copy beside it, and a second copy of the same name: each says why in a
    // message and in its log, and ends without touching the running copy's files.
    const struct {
        std::vector<std::string> arguments;
        std::string log;
        std::string why;
    } refused[] = {
        {{}, "/kest-redirect.log", "a name of its own"},
        {{"/#Second#"}, "/kest-redirect_Second.log", "already running as instance \"Second\""},
    };
    for (const auto& copy : refused) {
        auto again = startProgram(copy.arguments);
        EXPECT_TRUE(answerMessage("Kest Redirect", std::chrono::seconds(2))) << "no message";
        // While it said why, it watched no file.
        EXPECT_FALSE(marked()) << "the refused copy processed the watched file";
        const int status = again->wait(std::chrono::seconds(20));
        ASSERT_NE(status, -1) << "the refused copy kept running";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const std::string log = readFile(base() + copy.log);
        EXPECT_NE(log.find(copy.why), std::string::npos) << log;
    }
    EXPECT_EQ(configFiles("_Second"), saved);
    EXPECT_FALSE(std::filesystem::exists(configDir() + "/GENERAL.CFG"));
    auto third = startProgram({"/#Third#"});
    ASSERT_TRUE(waitForMainWindow("_Third"));
    EXPECT_EQ(named->wait(std::chrono::milliseconds(500)), -1);
    EXPECT_EQ(third->wait(std::chrono::milliseconds(500)), -1);
}

}  // namespace
}  // namespace kest::e2e
