// The Windows program under Wine, fed through its channels: a serial device on a COM
// port of the prefix and a TCP peer, typed through the rules into our Windows target
// window by both key paths (the key notation and the API player), and a send-back
// that the serial device reads. Then the serial device alone, on Wine's real driver,
// through a check program of its own (serial_device_check.exe of the Windows build).

#include <unistd.h>

#include <filesystem>
#include <thread>

#include "e2e/ProgramHarness.h"
#include "e2e/wine/WineHarness.h"

#ifndef KEST_SERIAL_CHECK
#error "KEST_SERIAL_CHECK must be defined"
#endif

namespace kest::e2e::wine {
namespace {

namespace fs = std::filesystem;

class WineChannels : public WineFixture {
  protected:
    // The program as the TCP client of a peer of ours; returns the accepted connection.
    int connectPeer(Listener& peer) {
        const int connection = peer.acceptWithin(60000);
        if (connection < 0) throw std::runtime_error("the program never connected");
        return connection;
    }
    static void sendTo(int connection, const std::string& bytes) {
        ASSERT_EQ(::write(connection, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
};

// Both channels through the rules into one window: lines from the serial device, one
// of which sends back to it, then the TCP peer through the key notation (names,
// modifiers, braced literals and accented Windows-1252 characters, which the US layout
// of the display has no key for).
TEST_F(WineChannels, SerialAndTcpAreTypedThroughTheRulesAndTheKeyNotation) {
    TargetWindow target(env(), "Kest Wine Channels Receiver");
    SerialDevice device(prefix(), 21);
    Listener peer;
    const auto program = startInstance(
        "WineChannels", makeConfig({{"5", "5{ENTER}"},
                                    {"caf\xE9", "coffee"},
                                    {"PING", "{TX_SERIAL[PONG \xE9{ASCII:13}{ASCII:10}]}ok"}},
                                   21, {13}, scanner(target.title(), "127.0.0.1", peer.port())));
    device.send("caf\xE9 5\r");
    ASSERT_TRUE(target.waitForText("<coffee 5\r>")) << target.text();
    device.send("PING\r");
    EXPECT_EQ(device.receive(8), "PONG \xE9\r\n");
    ASSERT_TRUE(target.waitForText("<coffee 5\r><ok>")) << target.text();
    const int connection = connectPeer(peer);
    sendTo(connection, "a5b");
    ASSERT_TRUE(target.waitForText("<coffee 5\r><ok><a5\rb>")) << target.text();
    sendTo(connection, "\xC0 la cr\xE8me {+}1~+a{TAB}\x80\xDF\xFF\xD7\xA3!");
    EXPECT_TRUE(target.waitForText("<coffee 5\r><ok><a5\rb>" +
                                   cp1252ToUtf8("<\xC0 la cr\xE8me +1\rA\t\x80\xDF\xFF\xD7\xA3!>")))
        << target.text();
    ::close(connection);
}

// The API player presses every character's code as a virtual key: letters by their
// key (capitals with Shift), digits and the blank by theirs, and an accented
// character's code as the virtual key of that number.
TEST_F(WineChannels, ApiPlayerPressesTheVirtualKeysOfTheCodes) {
    TargetWindow target(env(), "Kest Wine Player Receiver");
    Listener peer;
    GeneralSettings settings = scanner(target.title(), "127.0.0.1", peer.port());
    settings.apiKeyboard = true;
    settings.prefix = settings.suffix = "";
    const auto program = startInstance("WinePlayer", makeConfig({}, 200, {}, settings));
    const int connection = connectPeer(peer);
    sendTo(connection, "Ab1 \xE9{ENTER}");
    ASSERT_TRUE(
        target.waitForKeys("down 10\ndown 41\nup 41\nup 10\ndown 42\nup 42\ndown 31\nup 31\n"
                           "down 20\nup 20\ndown e9\nup e9\ndown 0d\nup 0d\n"))
        << target.keys();
    // What virtual key 0xE9 types depends on the keyboard (nothing on a US one under
    // Windows, a character of the X keymap under Wine); the rest is exact.
    const std::string text = target.text();
    EXPECT_EQ(text.substr(0, 4), "Ab1 ") << text;
    EXPECT_TRUE(text.size() > 4 && text.back() == '\r') << text;
    ::close(connection);
}

class WineSerialDevice : public WineFixture {
  protected:
    const std::string port = "\\\\.\\COM5";
    std::unique_ptr<ChildProcess> check(const std::vector<std::string>& arguments) {
        return startProgram(arguments, KEST_SERIAL_CHECK);
    }
    // Until the check says this line (ended as the C runtime ends it), or ends.
    bool waitForLine(ChildProcess& checking, const std::string& line) const {
        const auto said = [&] {
            const std::string output = "\n" + lastOutput();
            return output.find("\n" + line + "\n") != std::string::npos ||
                   output.find("\n" + line + "\r") != std::string::npos;
        };
        waitUntil([&] { return said() || !checking.running(); }, 120s);
        return said();
    }
};

// User and system time the process has used so far, in milliseconds.
long cpuMs(pid_t pid) {
    const std::string ticks =
        commandOutput("awk '{print $14 + $15}' /proc/" + std::to_string(pid) + "/stat");
    return std::stol("0" + ticks) * 1000 / ::sysconf(_SC_CLK_TCK);
}

pid_t wineserverOf(const std::string& prefix) {
    const std::string pid = commandOutput(
        "for p in $(pgrep -x 'wineserver(64)?'); do tr '\\0' '\\n' </proc/$p/environ | "
        "grep -qxF 'WINEPREFIX=" +
        prefix + "' && echo $p; done");
    return pid.empty() ? -1 : std::stoi(pid);
}

// Both ways, 100,000 bytes in order (the peer's pattern is not periodic in 256, so a
// dropped, doubled or swapped byte shows); an idle open port costs no CPU in the
// program or the wineserver (a polling reader, or a WaitCommEvent loop under Wine,
// costs whole seconds); the close is prompt (without cancelling its read the worker
// would wait out the read's own timeout).
TEST_F(WineSerialDevice, BytesGoBothWaysInOrderAnIdlePortCostsNothingAndClosesPromptly) {
    SerialDevice device(prefix(), 5);
    std::string pattern;
    for (long i = 0; i < 100000; ++i) pattern += static_cast<char>((i * 7 + i / 251) & 0xFF);
    const auto checking = check({"echo", port, std::to_string(pattern.size())});
    ASSERT_TRUE(waitForLine(*checking, "open")) << lastOutput();
    const pid_t server = wineserverOf(prefix());
    ASSERT_GT(server, 0);
    const long program = cpuMs(checking->pid()), serverBefore = cpuMs(server);
    std::this_thread::sleep_for(10s);  // a span to measure, not a wait
    EXPECT_LE(cpuMs(checking->pid()) - program, 200) << "the program, idle over 10 s";
    EXPECT_LE(cpuMs(server) - serverBefore, 1000) << "the wineserver, idle over 10 s";
    // In chunks that fit into the pseudo-terminals both ways, so that nothing waits on
    // the echo of what it has not read yet.
    std::string echoed;
    for (std::size_t sent = 0; sent < pattern.size(); sent += 4000) {
        device.send(pattern.substr(sent, 4000));
        echoed += device.receive(std::min<std::size_t>(4000, pattern.size() - sent), 60s);
    }
    EXPECT_TRUE(echoed == pattern) << echoed.size() << " bytes came back";
    ASSERT_EQ(exitCode(*checking), 0) << lastOutput();
    const std::string output = lastOutput();
    const std::size_t closed = output.find("closed in ");
    ASSERT_NE(closed, std::string::npos) << output;
    EXPECT_LT(std::stoi(output.substr(closed + 10)), 3000) << output;
}

// A port that is not there is not present and fails to open saying why; on a device,
// baud rates, stop bits, handshaking and lines are all taken; a device that vanishes
// is said exactly once and leaves the port closed and absent.
TEST_F(WineSerialDevice, AbsentPortSettingsAndAVanishingDevice) {
    fs::remove(prefix() + "/dosdevices/com9");
    auto device = std::make_unique<SerialDevice>(prefix(), 5);
    const auto checking = check({"device", port, "\\\\.\\COM9"});
    ASSERT_TRUE(waitForLine(*checking, "refusals 0")) << lastOutput();
    device.reset();
    EXPECT_EQ(exitCode(*checking), 0) << lastOutput();
}

}  // namespace
}  // namespace kest::e2e::wine
