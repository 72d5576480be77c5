// The Windows program under Wine on its desktop: the notification-area icon in a real
// tray host, window activation by title and the single-instance rule. (The files it
// writes are the core's, whose tests run under Wine too, written by the durable-file
// calls that the platform's tests check under Wine.)

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "e2e/ProgramHarness.h"
#include "e2e/wine/WineHarness.h"

namespace kest::e2e::wine {
namespace {

class WineDesktop : public WineFixture {
  protected:
    // The viewable windows docked in the tray host's panel that Wine's explorer made
    // (one per icon), one a line.
    std::string dockedIcons() const {
        return shell(
            "for w in $(xwininfo -name panel -tree | awk '/\"explorer.exe\"\\)/ {print $1}'); do "
            "xwininfo -id $w | grep -q IsViewable && echo $w; done");
    }
};

// On a desktop with a tray host: the icon is docked, and it stays out of the way (under
// Wine a docked icon can take the foreground, and the program re-adds its icon every
// few seconds, so a long text typed meanwhile must still land whole); APP[...] types
// into the window it names, whatever the target window field says; a second unnamed
// copy says why and ends (the rule on Wine's real mutexes; what named copies may do is
// checked against a fake).
TEST_F(WineDesktop, TrayIconActivationByTitleAndASecondUnnamedCopy) {
    startTrayHost();
    TargetWindow orders(env(), "Kest Wine Orders");
    TargetWindow stock(env(), "Kest Wine Stock");
    Listener peer;
    GeneralSettings settings;
    settings.tcpAddress = "127.0.0.1";
    settings.tcpPort = peer.port();
    settings.targetWindow = stock.title();
    writeConfigFiles(configDir(""), makeConfig({}, 200, {}, settings));
    const auto first = startProgram({});
    ASSERT_TRUE(waitForWindow(kMainTitle, first.get())) << lastOutput();
    const auto icons = [&] {
        const std::string docked = dockedIcons();
        return std::count(docked.begin(), docked.end(), '\n');
    };
    waitUntil([&] { return icons() > 0; }, 60s);
    EXPECT_EQ(icons(), 1) << shell("xwininfo -name panel -tree");

    const int connection = peer.acceptWithin(60000);
    ASSERT_GE(connection, 0) << "the program never connected";
    std::string text = "APP[Kest Wine Orders]x1";
    ASSERT_EQ(::write(connection, text.data(), text.size()), ssize_t(text.size()));
    ASSERT_TRUE(orders.waitForText("x1")) << orders.text() << " / stock: " << stock.text();
    text.clear();
    while (text.size() < 600) text += "Tray icon refreshed meanwhile \xE9\xE8 0123456789. ";
    ASSERT_EQ(::write(connection, text.data(), text.size()), ssize_t(text.size()));
    EXPECT_TRUE(stock.waitForText(cp1252ToUtf8(text), 120s)) << stock.text();
    EXPECT_EQ(orders.text(), "x1");
    ::close(connection);

    const auto second = startProgram({});
    // Its message is brought to the front; closed here as a user would.
    ASSERT_TRUE(waitForWindow("Kest Redirect", second.get())) << "no message";
    shell("xdotool search --onlyvisible --name '^Kest Redirect$' windowfocus --sync key Return");
    const int status = second->wait(std::chrono::seconds(60));
    ASSERT_NE(status, -1) << "the second unnamed copy kept running";
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_TRUE(first->running()) << "the first copy ended";
}

}  // namespace
}  // namespace kest::e2e::wine
