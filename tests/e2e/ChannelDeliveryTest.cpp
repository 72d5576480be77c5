// The channels through the real program, as a demanding user drives them: several
// copies watching one file, files with LF line ends, growing files and unfinished
// last lines, a peer replaced in the server role, a sender flooding faster than keys
// can be typed, a serial device plugged in late, and configuration texts longer than
// an edit field's default limit. Nothing may be lost and nothing typed twice.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "e2e/ProgramHarness.h"

namespace kest::e2e {
namespace {

namespace fs = std::filesystem;

class ChannelDeliveryTest : public ProgramFixture {
  protected:
    std::string watched() const { return base() + "/drive_c/FILE_IN.TXT"; }

    // The program in the server role on the port, its window up.
    std::unique_ptr<ChildProcess> startServer(int port) {
        writeScannerConfig(1, scanner(kReceiver, "0.0.0.0", port, true));
        auto program = startProgram({});
        EXPECT_TRUE(waitForMainWindow());
        return program;
    }

    // Waits for the text, then checks that nothing more comes for a while: a line
    // typed twice would arrive after the first one.
    void expectExactly(const XtermReceiver& xterm, const std::string& expected) {
        ASSERT_TRUE(xterm.waitForBytes(expected.size())) << xterm.received();
        std::this_thread::sleep_for(1500ms);
        EXPECT_EQ(xterm.received(), expected);
    }
};

long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

TEST_F(ChannelDeliveryTest, TwoCopiesWatchingOneFileTypeEachVersionOnceAndARestartNothing) {
    XtermReceiver xterm(display, kReceiver);
    writeScannerConfig(1, scanner(kReceiver), "_A");
    writeScannerConfig(1, scanner(kReceiver), "_B");
    appendTo(watched(), "start\r\n");
    std::string expected = "<start>";
    {
        auto a = startProgram({"/#A#"});
        auto b = startProgram({"/#B#"});
        ASSERT_TRUE(waitForMainWindow("_A"));
        ASSERT_TRUE(waitForMainWindow("_B"));
        ASSERT_TRUE(xterm.waitForBytes(expected.size()));
        for (const char* line : {"one", "two", "three", "four", "six"}) {
            appendTo(watched(), std::string(line) + "\r\n");
            expected += "<" + std::string(line) + ">";
            std::this_thread::sleep_for(400ms);
        }
        expectExactly(xterm, expected);
    }
    // Both copies ended; a new one finds every version already typed.
    auto again = startProgram({"/#A#"});
    ASSERT_TRUE(waitForMainWindow("_A"));
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(xterm.received(), expected);
    appendTo(watched(), "after\r\n");
    expectExactly(xterm, expected + "<after>");
}

// Linux line ends, and a writer that stops before the last line's end: that line is
// typed once, when the file has been left alone for a while.
TEST_F(ChannelDeliveryTest, LfLinesAndAnUnterminatedLastLineAreTypedOnceEach) {
    XtermReceiver xterm(display, kReceiver);
    writeScannerConfig(1);
    appendTo(watched(), "lf1\n");
    auto program = startProgram({});
    ASSERT_TRUE(xterm.waitForBytes(5));
    appendTo(watched(), "lf2\n");
    ASSERT_TRUE(xterm.waitForBytes(10));
    appendTo(watched(), "tail");
    expectExactly(xterm, "<lf1><lf2><tail>");
}

TEST_F(ChannelDeliveryTest, AGrowingLargeFileHasItsNewLinesTyped) {
    XtermReceiver xterm(display, kReceiver);
    writeScannerConfig(1);
    // 100 MB already typed in an earlier run: the previous copy holds all of it.
    {
        const std::string line = std::string(998, 'g') + "\r\n";
        std::string block;
        for (int i = 0; i < 1000; ++i) block += line;
        fs::create_directories(fs::path(watched()).parent_path());
        std::ofstream file(watched(), std::ios::binary);
        for (int i = 0; i < 100; ++i) file << block;
    }
    fs::copy_file(watched(), base() + "/drive_c/FILE_LST.TMP");
    std::atomic<bool> stop = false;
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            appendTo(watched(), "n" + std::to_string(i) + "\r\n");
            std::this_thread::sleep_for(20ms);
        }
    });
    auto program = startProgram({});
    const bool typed = xterm.waitForBytes(20, 40s);
    stop = true;
    writer.join();
    ASSERT_TRUE(typed) << "nothing typed from a growing file";
    EXPECT_EQ(xterm.received().substr(0, 20), "<n0><n1><n2><n3><n4>");
}

// Files written with Linux line ends, and texts longer than an edit field's default
// limit: the start-up save writes them back with CR LF, every text kept whole.
TEST_F(ChannelDeliveryTest, LfConfigurationFilesAndLongTextsAreSavedBackWithCrLf) {
    const std::string prefix(40000, 'p');
    const std::string target(33000, 't');
    writeConfig("TOUCHE_INP.CFG", "5\nab\n");
    writeConfig("TOUCHE_OUT.CFG", "5{ENTER}\ncd\n");
    writeConfig("TOUCHE_REM.CFG", "3\n13\n10\n");
    writeConfig("GENERAL.CFG", ".2\n4800,E,7,1\n 0 \n" + prefix + "\n>\n" + target +
                                   "\n 1 \n 0 \nNone\n 0 \n10.1.2.3\n4321\nFalse\n");
    auto program = startProgram({});
    ASSERT_TRUE(waitForMainWindow());
    const std::map<std::string, std::string> expected{
        {"TOUCHE_INP.CFG", "5\r\nab\r\n"},
        {"TOUCHE_OUT.CFG", "5{ENTER}\r\ncd\r\n"},
        {"TOUCHE_REM.CFG", "3\r\n13\r\n10\r\n"},
        {"GENERAL.CFG", ".2\r\n4800,E,7,1\r\n 0 \r\n" + prefix + "\r\n>\r\n" + target +
                            "\r\n 1 \r\n 0 \r\nNone\r\n 0 \r\n10.1.2.3\r\n4321\r\nFalse\r\n"},
    };
    EXPECT_TRUE(waitUntil([&] { return configFiles() == expected; }, 20s))
        << configFiles()["GENERAL.CFG"].substr(0, 200);
}

TEST_F(ChannelDeliveryTest, AServerKeepsWhatAReplacedPeerSentBeforeTheNewOneCame) {
    XtermReceiver xterm(display, kReceiver);
    const int port = freeTcpPort();
    auto program = startServer(port);
    const int first = connectWithin(port, 10000);
    ASSERT_GE(first, 0);
    // Each "^" costs a 0.2 s pause in which no event is handled: the old peer's data
    // and the new peer then wait side by side, as on a busy desktop.
    const std::string busy = "^x^x^x^x^x^x^x^x^x^x";
    ASSERT_EQ(::write(first, busy.data(), busy.size()), ssize_t(busy.size()));
    ASSERT_TRUE(xterm.waitForBytes(2));  // typing has begun
    ASSERT_EQ(::write(first, "old", 3), 3);
    const int second = connectWithin(port, 10000);
    ASSERT_GE(second, 0);
    ASSERT_EQ(::write(second, "new", 3), 3);
    ASSERT_TRUE(waitUntil([&] { return xterm.received().find("new") != std::string::npos; }, 30s));
    std::this_thread::sleep_for(500ms);
    const std::string text = xterm.received();
    EXPECT_NE(text.find("old"), std::string::npos) << text;
    EXPECT_LT(text.find("old"), text.find("new")) << text;
    ::close(first);
    ::close(second);
}

TEST_F(ChannelDeliveryTest, AFloodingPeerIsHeldBackAndTheProgramStaysSmall) {
    XtermReceiver xterm(display, kReceiver);
    const int port = freeTcpPort();
    auto program = startServer(port);
    const int peer = connectWithin(port, 10000);
    ASSERT_GE(peer, 0);
    ::fcntl(peer, F_SETFL, ::fcntl(peer, F_GETFL) | O_NONBLOCK);
    // Every "^" ends a piece and costs the 0.2 s pause: far slower than the network.
    std::string chunk;
    while (chunk.size() < 64 * 1024) chunk += "a^";
    long long sent = 0;
    bool heldBack = false;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!heldBack && sent < (400LL << 20) && std::chrono::steady_clock::now() < deadline) {
        const ssize_t n = ::write(peer, chunk.data(), chunk.size());
        if (n > 0) {
            sent += n;
            continue;
        }
        pollfd writable{peer, POLLOUT, 0};
        heldBack = ::poll(&writable, 1, 3000) == 0;
    }
    const long rss = residentKiB(program->pid());
    ::close(peer);
    EXPECT_TRUE(heldBack) << "the program took " << (sent >> 20) << " MiB without pause";
    EXPECT_LT(sent, 100LL << 20);
    EXPECT_GT(rss, 0);
    EXPECT_LT(rss, 100 * 1024) << "resident KiB";
}

TEST_F(ChannelDeliveryTest, ASerialDevicePluggedInAfterStartIsOpenedWithoutRetyping) {
    XtermReceiver xterm(display, kReceiver);
    writeScannerConfig(7);
    auto program = startProgram({});
    ASSERT_TRUE(waitForMainWindow());
    std::this_thread::sleep_for(1000ms);  // the port has failed to open by now
    SerialDevice serial(base(), 7);
    // Sent until the port is open: the first sends may go nowhere.
    ASSERT_TRUE(waitUntil(
        [&] {
            serial.send("late5\r");
            return xterm.waitForBytes(8, 1500ms);
        },
        20s));
    // Scans sent before the port opened may come in with the first one. The rules hold:
    // "5" types Enter, the scanner's own carriage return is dropped.
    const std::string text = xterm.received();
    EXPECT_EQ(text.substr(0, 7), "<late5\r") << text;
    EXPECT_NE(text[7], '\r') << text;
}

}  // namespace
}  // namespace kest::e2e
