// The Windows program under Wine, fed through its channels: a serial device on a COM
// port of the prefix and a TCP peer, typed through the rules into our Windows target
// window by both key paths (the key notation and the API player), and a send-back
// that the serial device reads; on a desktop with a tray host, its icon, window
// activation by title and the single-instance rule. (The files it writes are the
// core's, whose tests run under Wine too, written by the durable-file calls that the
// platform's tests check under Wine.) Then the serial device alone, on Wine's real
// driver, through a check program of its own (serial_device_check.exe).

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "e2e/ProgramHarness.h"
#include "e2e/wine/WineHarness.h"

namespace kest::e2e::wine {
namespace {

namespace fs = std::filesystem;

class Wine : public WineFixture {
  protected:
    static void sendTo(int connection, const std::string& bytes) {
        ASSERT_EQ(::write(connection, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
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

// Both channels through the rules into one window: lines from the serial device, one
// of which sends back to it, then the TCP peer through the key notation (names,
// modifiers, braced literals and accented Windows-1252 characters, which the US layout
// of the display has no key for).
TEST_F(Wine, SerialAndTcpAreTypedThroughTheRulesAndTheKeyNotation) {
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
    const int connection = peer.acceptWithin(60000);
    ASSERT_GE(connection, 0) << "the program never connected";
    sendTo(connection, "a5b\xC0 la cr\xE8me {+}1~+a{TAB}\x80\xDF\xFF\xD7\xA3!");
    EXPECT_TRUE(target.waitForText(
        "<coffee 5\r><ok>" + cp1252ToUtf8("<a5\rb\xC0 la cr\xE8me +1\rA\t\x80\xDF\xFF\xD7\xA3!>")))
        << target.text();
    ::close(connection);
}

// The API player presses every character's code as a virtual key: letters by their
// key (capitals with Shift), digits and the blank by theirs, and an accented
// character's code as the virtual key of that number.
TEST_F(Wine, ApiPlayerPressesTheVirtualKeysOfTheCodes) {
    TargetWindow target(env(), "Kest Wine Player Receiver");
    Listener peer;
    GeneralSettings settings = scanner(target.title(), "127.0.0.1", peer.port());
    settings.apiKeyboard = true;
    settings.prefix = settings.suffix = "";
    const auto program = startInstance("WinePlayer", makeConfig({}, 200, {}, settings));
    const int connection = peer.acceptWithin(60000);
    ASSERT_GE(connection, 0) << "the program never connected";
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

// On a desktop with a tray host: the icon is docked, and it stays out of the way (under
// Wine a docked icon can take the foreground, and the program re-adds its icon every
// few seconds, so a long text typed meanwhile must still land whole); APP[...] types
// into the window it names, whatever the target window field says; a second unnamed
// copy says why and ends (the rule on Wine's real mutexes; what named copies may do is
// checked against a fake).
TEST_F(Wine, TrayIconActivationByTitleAndASecondUnnamedCopy) {
    const ChildProcess trayHost({"trayer", "--edge", "top", "--align", "right", "--widthtype",
                                 "request", "--height", "32", "--SetDockType", "false"},
                                display->env());
    waitUntil([&] { return !shell("xdotool search --name '^panel$'").empty(); }, 20s);
    TargetWindow orders(env(), "Kest Wine Orders");
    TargetWindow stock(env(), "Kest Wine Stock");
    Listener peer;
    GeneralSettings settings = scanner(stock.title(), "127.0.0.1", peer.port());
    settings.prefix = settings.suffix = "";
    writeConfigFiles(configDir(""), makeConfig({}, 200, {}, settings));
    const auto first = startProgram({});
    ASSERT_TRUE(waitForWindow(kMainTitle, first.get())) << lastOutput();
    // The viewable windows docked in the panel that Wine's explorer made, one per icon.
    const auto icons = [&] {
        const std::string docked = shell(
            "for w in $(xwininfo -name panel -tree | awk '/\"explorer.exe\"\\)/ {print $1}'); do "
            "xwininfo -id $w | grep -q IsViewable && echo $w; done");
        return std::count(docked.begin(), docked.end(), '\n');
    };
    waitUntil([&] { return icons() > 0; }, 60s);
    EXPECT_EQ(icons(), 1) << shell("xwininfo -name panel -tree");

    const int connection = peer.acceptWithin(60000);
    ASSERT_GE(connection, 0) << "the program never connected";
    sendTo(connection, "APP[Kest Wine Orders]x1");
    ASSERT_TRUE(orders.waitForText("x1")) << orders.text() << " / stock: " << stock.text();
    std::string text;
    while (text.size() < 600) text += "Tray icon refreshed meanwhile \xE9\xE8 0123456789. ";
    sendTo(connection, text);
    EXPECT_TRUE(stock.waitForText(cp1252ToUtf8(text), 120s)) << stock.text();
    EXPECT_EQ(orders.text(), "x1");
    ::close(connection);

    const auto second = startProgram({});
    // Its message is brought to the front; closed here as a user would.
    ASSERT_TRUE(waitForWindow("Kest Redirect", second.get())) << "no message";
    shell("xdotool search --onlyvisible --name '^Kest Redirect$' windowfocus --sync key Return");
    EXPECT_NE(exitCode(*second, 60s), -1) << "the second unnamed copy kept running";
    EXPECT_TRUE(first->running()) << "the first copy ended";
}

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
// costs whole seconds); the close is prompt (the check fails a close of 3 s or more:
// without cancelling its read the worker would wait out the read's own timeout).
TEST_F(Wine, SerialDeviceBytesGoBothWaysInOrderAnIdlePortCostsNothingAndClosesPromptly) {
    SerialDevice device(prefix(), 5);
    std::string pattern;
    for (long i = 0; i < 100000; ++i) pattern += static_cast<char>((i * 7 + i / 251) & 0xFF);
    const auto checking =
        startProgram({"echo", "\\\\.\\COM5", std::to_string(pattern.size())}, KEST_SERIAL_CHECK);
    ASSERT_TRUE(waitForLine(*checking, "open")) << lastOutput();
    const pid_t server = wineserverOf(prefix());
    ASSERT_GT(server, 0);
    const long program = cpuMs(checking->pid()), serverBefore = cpuMs(server);
    std::this_thread::sleep_for(10s);  // a span to measure, not a wait
    EXPECT_LE(cpuMs(checking->pid()) - program, 200) << "the program, idle over 10 s";
    EXPECT_LE(cpuMs(server) - serverBefore, 1000) << "the wineserver, idle over 10 s";
    // In chunks that fit into the pseudo-terminals both ways, so that nothing waits on
    // the echo of what it has not read yet; a chunk that came back short ends it.
    std::string echoed;
    for (std::size_t sent = 0; sent < pattern.size() && echoed.size() == sent; sent += 4000) {
        device.send(pattern.substr(sent, 4000));
        echoed += device.receive(std::min<std::size_t>(4000, pattern.size() - sent), 60s);
    }
    EXPECT_TRUE(echoed == pattern) << echoed.size() << " bytes came back";
    EXPECT_EQ(exitCode(*checking), 0) << lastOutput();
}

// A port that is not there is not present and fails to open saying why; on a device,
// baud rates, stop bits, handshaking and lines are all taken; a device that vanishes
// is said exactly once and leaves the port closed and absent.
TEST_F(Wine, SerialDeviceAbsentPortSettingsAndAVanishingDevice) {
    fs::remove(prefix() + "/dosdevices/com9");
    auto device = std::make_unique<SerialDevice>(prefix(), 5);
    const auto checking = startProgram({"device", "\\\\.\\COM5", "\\\\.\\COM9"}, KEST_SERIAL_CHECK);
    ASSERT_TRUE(waitForLine(*checking, "refusals 0")) << lastOutput();
    device.reset();
    EXPECT_EQ(exitCode(*checking), 0) << lastOutput();
}

}  // namespace
}  // namespace kest::e2e::wine
