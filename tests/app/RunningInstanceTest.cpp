// The running copy's answer to a later start of its instance: one claim per instance,
// a show request answered, anything else dropped without harm.

#include <gtest/gtest.h>

#include <QLocalSocket>

#include "app/RunningInstance.h"
#include "channels/ChannelTestSupport.h"

namespace kest {
namespace {

class RunningInstanceTest : public ::testing::Test {
  protected:
    // What the running copy answers to these bytes, once it has dropped the line.
    QByteArray answerTo(const QByteArray& request) {
        QLocalSocket peer;
        peer.connectToServer(channel);
        EXPECT_TRUE(peer.waitForConnected(5000));
        peer.write(request);
        test::waitUntil([&] { return peer.state() == QLocalSocket::UnconnectedState; }, 5000);
        EXPECT_EQ(peer.state(), QLocalSocket::UnconnectedState) << request.toStdString();
        return peer.readAll();
    }

    test::QtAppFirst app;
    test::ConfigHome home;
    QString channel = InstanceGuard(InstanceGuard::instanceKey(home.path() + "/A")).channelName();
};

TEST_F(RunningInstanceTest, OneCopyPerInstanceAndOnlyAShowRequestIsAnswered) {
    RunningInstance running(home.path() + "/A");
    int shown = 0;
    running.showRequested = [&] { ++shown; };
    ASSERT_TRUE(running.claim());
    EXPECT_FALSE(RunningInstance(home.path() + "/A").claim());
    EXPECT_TRUE(RunningInstance(home.path() + "/B").claim());

    EXPECT_EQ(answerTo("show\n"), "shown\n");
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(answerTo("quit\n"), "");
    EXPECT_EQ(answerTo(QByteArray(100, 'x')), "");  // no line in sight: cut off
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(answerTo("show\n"), "shown\n");
    EXPECT_EQ(shown, 2);
}

}  // namespace
}  // namespace kest
