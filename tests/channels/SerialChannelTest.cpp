#include <gtest/gtest.h>

#include <QFile>
#include <QTimer>

#include "ChannelTestSupport.h"
#include "channels/SerialChannel.h"

namespace kest {
namespace {

using test::waitUntil;

class SerialChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::qtApp();
        pty_ = std::make_unique<test::PtyPair>(home_.base(), 7);
        ASSERT_TRUE(pty_->start()) << "socat pseudo-terminal pair did not start";
        QObject::connect(&channel_, &SerialChannel::textReceived, &channel_,
                         [this](const QByteArray& t) { received_.add(t); });
        QObject::connect(&channel_, &SerialChannel::portStateChanged, &channel_,
                         [this](bool open, StatusRole) { states_ << open; });
    }

    void openCom7() {
        channel_.setPortText("7");
        ASSERT_TRUE(channel_.isOpen());
    }

    test::QtAppFirst app_;  // before any QObject member
    test::ConfigHome home_;
    std::unique_ptr<test::PtyPair> pty_;
    SerialChannel channel_;
    test::Received received_;
    QList<bool> states_;
};

TEST_F(SerialChannelTest, PartsWithin100msAreOneTextAndLaterOnesSeparate) {
    openCom7();
    EXPECT_EQ(channel_.portRole(), StatusRole::Success);
    ASSERT_TRUE(pty_->writeDevice("12"));
    QTimer::singleShot(50, [this] { pty_->writeDevice("345\r"); });
    ASSERT_TRUE(waitUntil([this] { return !received_.texts.isEmpty(); }, 3000));
    test::runEventsFor(150);
    ASSERT_EQ(received_.texts, (QList<QByteArray>{"12345\r"}));

    ASSERT_TRUE(pty_->writeDevice("A"));
    QTimer::singleShot(300, [this] { pty_->writeDevice("B"); });
    ASSERT_TRUE(waitUntil([this] { return received_.texts.size() == 3; }, 3000));
    EXPECT_EQ(received_.texts.mid(1), (QList<QByteArray>{"A", "B"}));
    // The burst is held for the settle time, not handed over at its first byte.
    EXPECT_GE(received_.atMs[2] - received_.atMs[1], 250);
}

TEST_F(SerialChannelTest, BinaryBytesPassUnchanged) {
    openCom7();
    QByteArray all;
    for (int i = 0; i < 256; ++i) all.append(static_cast<char>(i));
    ASSERT_TRUE(pty_->writeDevice(all));
    ASSERT_TRUE(waitUntil([this, &all] { return received_.joined().size() >= all.size(); }, 3000));
    EXPECT_EQ(received_.joined(), all);
}

TEST_F(SerialChannelTest, EveryChangeReopensAndBadSettingsFailUntilComplete) {
    openCom7();
    channel_.setSettingsText("9600,N,8");
    EXPECT_FALSE(channel_.isOpen());
    EXPECT_EQ(channel_.portRole(), StatusRole::Failure);
    channel_.setSettingsText(" 9600,N,8,1 ");
    EXPECT_TRUE(channel_.isOpen());
    for (const char* good : {"19200,E,7,1", "4800,O,8,2", "9600,M,8,1", "9600,S,8,1"}) {
        channel_.setSettingsText(good);
        EXPECT_TRUE(channel_.isOpen()) << good;
    }
    EXPECT_EQ(states_, (QList<bool>{true, false, true, true, true, true, true}));
    // A closed port reads nothing: data waits in the device until the port opens.
    channel_.setSettingsText("bad");
    ASSERT_TRUE(pty_->writeDevice("late"));
    test::runEventsFor(300);
    EXPECT_TRUE(received_.texts.isEmpty());
    channel_.setSettingsText("9600,N,8,1");
    ASSERT_TRUE(waitUntil([this] { return received_.joined() == "late"; }, 3000));
}

TEST_F(SerialChannelTest, PortNumberTextIsReadAsANumberRoundedHalfToEven) {
    const QString dev = home_.base() + "/dosdevices/";
    ASSERT_TRUE(QFile::link(pty_->comLink(), dev + "com4"));
    ASSERT_TRUE(QFile::link(pty_->comLink(), dev + "com6"));
    channel_.setPortText("COM3");
    EXPECT_FALSE(channel_.isOpen());
    channel_.setPortText("3.5");  // 4
    EXPECT_TRUE(channel_.isOpen());
    channel_.setPortText("");
    EXPECT_FALSE(channel_.isOpen());
    channel_.setPortText("4.5");  // 4
    EXPECT_TRUE(channel_.isOpen());
    channel_.setPortText(" 5.5 ");  // 6
    EXPECT_TRUE(channel_.isOpen());
    channel_.setPortText("99999");  // beyond 16 bits
    EXPECT_FALSE(channel_.isOpen());
    channel_.setPortText("200");  // no device for it
    EXPECT_FALSE(channel_.isOpen());
    EXPECT_THROW(channel_.write("x"), ComponentError);
}

TEST_F(SerialChannelTest, HandshakingNamesOutsideTheTableBecomeNone) {
    QStringList corrected;
    QObject::connect(&channel_, &SerialChannel::handshakingNameCorrected, &channel_,
                     [&corrected](const QString& n) { corrected << n; });
    openCom7();
    EXPECT_EQ(channel_.setHandshakingName("rts"), "None");
    EXPECT_EQ(channel_.setHandshakingName(""), "None");
    EXPECT_EQ(corrected, (QStringList{"None", "None"}));
    for (const char* name : {"None", "XonXoff", "Rts", "RtsXonXoff"}) {
        EXPECT_EQ(channel_.setHandshakingName(name), name);
    }
    EXPECT_EQ(corrected.size(), 2);
    channel_.setDtr(true);
    channel_.setRts(false);
    channel_.setHandshakingName("None");
    channel_.reopen();  // handshaking and lines are kept across reopens
    EXPECT_TRUE(channel_.isOpen());
    ASSERT_TRUE(pty_->writeDevice("still flowing"));
    ASSERT_TRUE(waitUntil([this] { return received_.joined() == "still flowing"; }, 3000));
}

TEST_F(SerialChannelTest, WriteSendsBackToTheDevice) {
    openCom7();
    channel_.write("ACK\r");
    EXPECT_EQ(pty_->readDevice(3000), "ACK\r");
}

TEST_F(SerialChannelTest, VanishedDeviceFailsAndIsReopenedWhenItReturns) {
    openCom7();
    pty_->stop();
    ASSERT_TRUE(waitUntil([this] { return !channel_.isOpen(); }, 5000));
    EXPECT_EQ(channel_.portRole(), StatusRole::Failure);
    EXPECT_THROW(channel_.write("x"), ComponentError);
    test::runEventsFor(2500);  // the checks find nothing and stay quiet
    EXPECT_FALSE(channel_.isOpen());

    ASSERT_TRUE(pty_->start());
    ASSERT_TRUE(waitUntil([this] { return channel_.isOpen(); }, 5000));
    ASSERT_TRUE(pty_->writeDevice("back"));
    ASSERT_TRUE(waitUntil([this] { return received_.joined() == "back"; }, 3000));
}

TEST_F(SerialChannelTest, APortMissingWhenOpenedIsOpenedWhenItsDeviceAppears) {
    pty_->stop();
    channel_.setSettingsText("4800,E,7,1");
    channel_.setPortText("7");
    EXPECT_FALSE(channel_.isOpen());
    ASSERT_TRUE(pty_->start());  // the scanner is plugged in
    ASSERT_TRUE(waitUntil([this] { return channel_.isOpen(); }, 5000));
    ASSERT_TRUE(pty_->writeDevice("late"));
    ASSERT_TRUE(waitUntil([this] { return received_.joined() == "late"; }, 3000));
}

TEST_F(SerialChannelTest, ReceiverRunningTheEventLoopDoesNotMixBursts) {
    openCom7();
    // Like the pipeline: the receiver lets events run while it "types".
    QObject::connect(&channel_, &SerialChannel::textReceived, &channel_,
                     [](const QByteArray&) { test::runEventsFor(250); });
    ASSERT_TRUE(pty_->writeDevice("first"));
    QTimer::singleShot(200, [this] { pty_->writeDevice("second"); });
    ASSERT_TRUE(waitUntil([this] { return received_.texts.size() == 2; }, 5000));
    EXPECT_EQ(received_.texts, (QList<QByteArray>{"first", "second"}));
}

}  // namespace
}  // namespace kest
