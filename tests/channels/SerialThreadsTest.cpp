// What the serial device does away from the user-interface thread: ports open on a
// thread of their own (a Bluetooth port whose device is off keeps its open waiting for
// seconds, and the window must not wait with it), and the worker's reads are paced so
// that a device that is gone is said once and a quirky driver costs no CPU.

#include "channels/PortOpener.h"
#include "channels/win32/ReadPacing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "ChannelTestSupport.h"

namespace kest {
namespace {

class PortOpenerTest : public ::testing::Test {
  protected:
    PortOpenerTest() {
        QObject::connect(&opener, &PortOpener::finished,
                         [this](std::uintptr_t port, const QString& failure) {
                             finished.push_back({port, failure});
                         });
    }
    // An open that waits until the test lets it end, as a hanging driver would.
    PortOpener::Open hanging(std::uintptr_t port, std::shared_future<void> until) {
        return [this, port, until] {
            {
                std::lock_guard lock(mutex);
                openedOn.push_back(std::this_thread::get_id());
            }
            until.wait();
            return PortOpener::Outcome{port, {}};
        };
    }
    std::vector<std::uintptr_t> closedPorts() {
        std::lock_guard lock(mutex);
        return closed;
    }

    test::QtAppFirst app;
    std::mutex mutex;
    std::vector<std::uintptr_t> closed;
    std::vector<std::thread::id> openedOn;
    PortOpener opener{[this](std::uintptr_t port) {
        std::lock_guard lock(mutex);
        closed.push_back(port);
    }};
    std::vector<PortOpener::Outcome> finished;
};

// The user typed port 11 (which hangs), then 12: the window went on at once, 12 is
// opened and reported, and 11, when its open ends at last, is closed unreported.
TEST_F(PortOpenerTest, OpensOffTheCallersThreadAndOnlyTheLatestOpenCounts) {
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    opener.start(hanging(11, released));
    EXPECT_TRUE(opener.opening());
    opener.start([] { return PortOpener::Outcome{0, QStringLiteral("COM12: no such device")}; });
    ASSERT_TRUE(test::waitUntil([&] { return !finished.empty(); }, 10000));
    EXPECT_EQ(finished.front().failure, "COM12: no such device");
    EXPECT_FALSE(opener.opening());

    release.set_value();
    ASSERT_TRUE(test::waitUntil([&] { return !closedPorts().empty(); }, 10000));
    EXPECT_EQ(closedPorts(), std::vector<std::uintptr_t>{11});
    test::runEventsFor(50);
    EXPECT_EQ(finished.size(), 1u);
    std::lock_guard lock(mutex);
    EXPECT_NE(openedOn.front(), std::this_thread::get_id());
}

// A close while the open is under way: whatever that open brings is closed again.
TEST_F(PortOpenerTest, ACancelledOpenLeavesNoPortOpen) {
    std::promise<void> release;
    opener.start(hanging(13, release.get_future().share()));
    opener.cancel();
    EXPECT_FALSE(opener.opening());
    release.set_value();
    ASSERT_TRUE(test::waitUntil([&] { return !closedPorts().empty(); }, 10000));
    EXPECT_EQ(closedPorts(), std::vector<std::uintptr_t>{13});

    opener.start([] { return PortOpener::Outcome{14, {}}; });
    ASSERT_TRUE(test::waitUntil([&] { return !finished.empty(); }, 10000));
    EXPECT_EQ(finished.front().port, 14u);
    EXPECT_EQ(closedPorts().size(), 1u);
}

// A pulled adapter fails the driver's questions after a read that brought nothing:
// gone. A driver that ends every read at once with nothing, while the device answers,
// is read again later and later, and never reported gone for that alone.
TEST(ReadPacing, AQuietDriverIsPacedAndOnlyAnUnansweredQuestionLosesTheDevice) {
    win32::ReadPacing pacing;
    int asked = 0;
    const auto answers = [&] {
        ++asked;
        return true;
    };
    EXPECT_EQ(pacing.gotNothing(false, answers), 0u);  // an idle read: next one at once
    std::vector<unsigned> pauses;
    for (int i = 0; i < 12; ++i) pauses.push_back(*pacing.gotNothing(true, answers));
    EXPECT_EQ(pauses.front(), win32::ReadPacing::kFirstPauseMs);
    EXPECT_TRUE(std::is_sorted(pauses.begin(), pauses.end()));
    EXPECT_EQ(pauses.back(), win32::ReadPacing::kLongestPauseMs);
    EXPECT_EQ(asked, 13);
    pacing.gotData();
    EXPECT_EQ(pacing.gotNothing(true, answers), win32::ReadPacing::kFirstPauseMs);

    EXPECT_EQ(pacing.gotNothing(false, [] { return false; }), std::nullopt);
    EXPECT_EQ(pacing.gotNothing(true, [] { return false; }), std::nullopt);
}

}  // namespace
}  // namespace kest
