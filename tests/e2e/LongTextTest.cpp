// Texts longer than a million keys through the real program: a 1 MiB TCP hand-over
// and a watched-file line of 1,000,001 characters are typed whole and in order into
// an xterm. Such pieces were once refused whole by the keyboard layer.

#include <unistd.h>

#include <chrono>
#include <string>

#include "e2e/ProgramHarness.h"

namespace kest::e2e {
namespace {

constexpr const char* kReceiver = "Kest E2E Long Receiver";

// Letters in an order that does not repeat within a short distance, so that a piece
// typed twice, lost or out of order shows in the comparison. No '5' (the rule below
// rewrites it) and nothing the key notation reads as a command.
std::string letters(std::size_t count) {
    std::string text;
    text.reserve(count);
    std::uint32_t state = 12345;
    while (text.size() < count) {
        state = state * 1103515245u + 12345u;
        text += static_cast<char>('a' + (state >> 16) % 26);
    }
    return text;
}

class LongTextTest : public ProgramFixture {
  protected:
    // A TCP address of zeros asks for no connection at all.
    void writeConfigFor(const std::string& tcpAddress, int tcpPort) {
        writeConfig("TOUCHE_INP.CFG", "5\r\n");
        writeConfig("TOUCHE_OUT.CFG", "5{ENTER}\r\n");
        writeConfig("TOUCHE_REM.CFG", "1\r\n13\r\n10\r\n");
        writeConfig("GENERAL.CFG", ".2\r\n9600,N,8,1\r\n 0 \r\n<\r\n>\r\n" +
                                       std::string(kReceiver) +
                                       "\r\n 1 \r\n 1 \r\nNone\r\n 0 \r\n" + tcpAddress + "\r\n" +
                                       std::to_string(tcpPort) + "\r\nFalse\r\n");
    }

    // Waits while the typed text keeps growing: the deadline is for progress, so a
    // slow machine takes longer but a stall fails within a minute.
    static bool waitForAll(const XtermReceiver& xterm, std::size_t count) {
        std::size_t seen = 0;
        while (true) {
            if (xterm.waitForBytes(count, std::chrono::seconds(60))) return true;
            const std::size_t now = xterm.received().size();
            if (now == seen) return false;
            seen = now;
        }
    }
};

TEST_F(LongTextTest, AOneMebibyteTcpHandOverIsTypedWhole) {
    XtermReceiver xterm(display, kReceiver);
    Listener server;
    writeConfigFor("127.0.0.1", server.port());
    auto program = startProgram({});
    const int peer = server.acceptWithin(15000);
    ASSERT_GE(peer, 0) << "the program never connected";
    const std::string data = letters(1048576);
    for (std::size_t sent = 0; sent < data.size();) {
        const ssize_t n = ::write(peer, data.data() + sent, data.size() - sent);
        ASSERT_GT(n, 0);
        sent += static_cast<std::size_t>(n);
    }
    ASSERT_TRUE(waitForAll(xterm, data.size() + 2)) << xterm.received().size() << " bytes typed";
    EXPECT_TRUE(xterm.received() == "<" + data + ">") << "typed text differs";
    ::close(peer);
}

TEST_F(LongTextTest, AWatchedFileLineOfAMillionAndOneCharactersIsTypedWhole) {
    XtermReceiver xterm(display, kReceiver);
    writeConfigFor("0.0.0.0", 1024);
    const std::string line = letters(1000001);
    appendTo(base() + "/drive_c/FILE_IN.TXT", line + "\r\n");
    auto program = startProgram({});
    ASSERT_TRUE(waitForAll(xterm, line.size() + 2)) << xterm.received().size() << " bytes typed";
    EXPECT_TRUE(xterm.received() == "<" + line + ">") << "typed text differs";
}

}  // namespace
}  // namespace kest::e2e
