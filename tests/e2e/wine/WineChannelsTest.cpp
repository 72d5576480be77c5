// The Windows program under Wine, fed through its channels: a serial device on a COM
// port of the prefix and a TCP peer, typed through the rules into our Windows target
// window by both key paths (the key notation and the API player), and a send-back
// that the serial device reads.

#include <unistd.h>

#include "e2e/ProgramHarness.h"
#include "e2e/wine/WineHarness.h"

namespace kest::e2e::wine {
namespace {

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

GeneralSettings scannerSettings(const std::string& target, int tcpPort = 1024) {
    GeneralSettings s;
    s.prefix = "<";
    s.suffix = ">";
    s.targetWindow = target;
    s.tcpAddress = "127.0.0.1";
    s.tcpPort = tcpPort;
    return s;
}

// Lines from the serial device through the rules, one of which sends back to it.
TEST_F(WineChannels, SerialLinesAreTypedThroughTheRulesAndASendBackReachesTheDevice) {
    TargetWindow target(env(), "Kest Wine Serial Receiver");
    SerialDevice device(prefix(), 21);
    const auto program = startInstance(
        "WineSerial", makeConfig({{"5", "5{ENTER}"},
                                  {"caf\xE9", "coffee"},
                                  {"PING", "{TX_SERIAL[PONG \xE9{ASCII:13}{ASCII:10}]}ok"}},
                                 21, {13}, scannerSettings(target.title())));
    device.send("12345\r");
    ASSERT_TRUE(target.waitForText("<12345\r>")) << target.text();
    device.send("caf\xE9 5\r");
    ASSERT_TRUE(target.waitForText("<12345\r><coffee 5\r>")) << target.text();
    device.send("PING\r");
    EXPECT_EQ(device.receive(8), "PONG \xE9\r\n");
    EXPECT_TRUE(target.waitForText("<12345\r><coffee 5\r><ok>")) << target.text();
}

// Through the rules, and the key notation: names, modifiers, braced literals and
// accented Windows-1252 characters, which the US layout of the display has no key for.
TEST_F(WineChannels, TcpPeerIsTypedThroughTheRulesAndTheKeyNotation) {
    TargetWindow target(env(), "Kest Wine TCP Receiver");
    Listener peer;
    const auto program = startInstance(
        "WineTcp",
        makeConfig({{"5", "5{ENTER}"}}, 200, {}, scannerSettings(target.title(), peer.port())));
    const int connection = connectPeer(peer);
    sendTo(connection, "tcp5");
    ASSERT_TRUE(target.waitForText("<tcp5\r>")) << target.text();
    sendTo(connection, "a5b");
    ASSERT_TRUE(target.waitForText("<tcp5\r><a5\rb>")) << target.text();
    sendTo(connection, "Caf\xE9 \xC0 la cr\xE8me {+}1~+a{TAB}\x80\xDF\xFF\xD7\xA3!");
    EXPECT_TRUE(
        target.waitForText("<tcp5\r><a5\rb>" +
                           cp1252ToUtf8("<Caf\xE9 \xC0 la cr\xE8me +1\rA\t\x80\xDF\xFF\xD7\xA3!>")))
        << target.text();
    ::close(connection);
}

// The API player presses every character's code as a virtual key: letters by their
// key (capitals with Shift), digits and the blank by theirs, and an accented
// character's code as the virtual key of that number.
TEST_F(WineChannels, ApiPlayerPressesTheVirtualKeysOfTheCodes) {
    TargetWindow target(env(), "Kest Wine Player Receiver");
    Listener peer;
    GeneralSettings settings = scannerSettings(target.title(), peer.port());
    settings.apiKeyboard = true;
    settings.prefix = settings.suffix = "";
    const auto program = startInstance("WinePlayer", makeConfig({}, 200, {}, settings));
    const int connection = connectPeer(peer);
    sendTo(connection, "Ab1 \xE9{ENTER}");
    const std::vector<std::string> expected = {
        "down 10", "down 41", "up 41", "up 10",   "down 42", "up 42",   "down 31",
        "up 31",   "down 20", "up 20", "down e9", "up e9",   "down 0d", "up 0d"};
    ASSERT_TRUE(target.waitForKeys(expected.size())) << ::testing::PrintToString(target.keys());
    EXPECT_EQ(target.keys(), expected);
    // What virtual key 0xE9 types depends on the keyboard (nothing on a US one under
    // Windows, a character of the X keymap under Wine); the rest is exact.
    const std::string text = target.text();
    EXPECT_EQ(text.substr(0, 4), "Ab1 ") << text;
    EXPECT_EQ(text.back(), '\r') << text;
    ::close(connection);
}

}  // namespace
}  // namespace kest::e2e::wine
