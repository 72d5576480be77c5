#include <gtest/gtest.h>

#include <utility>

#include "ChannelTestSupport.h"
#include "FakeSerialDevice.h"
#include "channels/SerialChannel.h"

namespace kest {
namespace {

using test::waitUntil;

// The channel's rules, on a device whose bytes come exactly when the test says.
class SerialChannelRules : public ::testing::Test {
  protected:
    SerialChannelRules() {
        auto owned = std::make_unique<test::FakeSerialDevice>();
        device_ = owned.get();
        channel_ = std::make_unique<SerialChannel>(std::move(owned));
        QObject::connect(channel_.get(), &SerialChannel::textReceived,
                         [this](const QByteArray& t) { received_.add(t); });
        QObject::connect(channel_.get(), &SerialChannel::portStateChanged,
                         [this](bool, StatusRole role) { roles_ << role; });
    }

    test::QtAppFirst app_;
    test::ConfigHome home_;
    test::FakeSerialDevice* device_ = nullptr;
    std::unique_ptr<SerialChannel> channel_;
    test::Received received_;
    QList<StatusRole> roles_;
};

TEST_F(SerialChannelRules, ABurstIsWhatArrivesBeforeItsSettleTimeEndsHandedOverWholeInOrder) {
    device_->waiting = "early";  // waiting in the device before the port opens
    channel_->setPortText("1");
    ASSERT_TRUE(channel_->isOpen());
    ASSERT_TRUE(waitUntil([this] { return received_.texts.size() == 1; }, 5000));

    const qint64 firstByteAt = received_.clock.elapsed();
    device_->arrive("12");
    device_->arrive("345\r");  // before the burst's settle time has run
    EXPECT_EQ(received_.texts.size(), 1) << "handed over at its first byte";
    ASSERT_TRUE(waitUntil([this] { return received_.texts.size() == 2; }, 5000));
    // A single-shot timer never fires early, however loaded the machine is.
    EXPECT_GE(received_.atMs[1] - firstByteAt, SerialChannel::kBurstSettleMs - 5);

    // Data arriving while the receiver runs the event loop (as typing does) is the
    // next burst, not mixed into the one being handed over; so are bytes that came
    // meanwhile without a signal of their own (a device sends none behind unread bytes).
    QObject::connect(channel_.get(), &SerialChannel::textReceived, [this](const QByteArray& t) {
        if (t == "second") device_->waiting += "third";
        if (t != "first") return;
        device_->arrive("second");
        test::runEventsFor(3 * SerialChannel::kBurstSettleMs);
    });
    device_->arrive("first");
    ASSERT_TRUE(waitUntil([this] { return received_.texts.size() == 5; }, 5000));

    device_->arrive("cut");
    channel_->setSettingsText("4800,E,7,1");  // a retyped setting hands the burst over as it is
    EXPECT_EQ(received_.texts,
              (QList<QByteArray>{"early", "12345\r", "first", "second", "third", "cut"}));
    EXPECT_EQ(device_->opens.last().settings.baudRate, 4800);
    device_->arrive("last");
    channel_->close();  // the program ends: what came is handed over, not dropped
    EXPECT_EQ(received_.texts.last(), "last");
}

TEST_F(SerialChannelRules, PortTextIsANumberRoundedHalfToEvenAndSettingsMustBeComplete) {
    const std::pair<const char*, const char*> opened[] = {
        {"3.5", "/dev/ttyS3"}, {"4.5", "/dev/ttyS3"}, {" 5.5 ", "/dev/ttyS5"}};
    for (const auto& [text, device] : opened) {
        channel_->setPortText(text);
        EXPECT_TRUE(channel_->isOpen()) << text;
        EXPECT_EQ(device_->name(), device) << text;
    }
    for (const char* closed : {"COM3", "", "99999", "0", "256", "200"}) {
        channel_->setPortText(closed);
        EXPECT_FALSE(channel_->isOpen()) << closed;
        EXPECT_EQ(channel_->portRole(), StatusRole::Failure) << closed;
    }
    EXPECT_THROW(channel_->write("x"), ComponentError);

    channel_->setPortText("1");
    channel_->setSettingsText("9600,N,8");
    EXPECT_FALSE(channel_->isOpen());
    EXPECT_TRUE(channel_->settingsRejected());
    EXPECT_TRUE(channel_->failureReason().startsWith("3 parts"))
        << channel_->failureReason().toStdString();
    channel_->setSettingsText(" 19200,E,7,1 ");
    EXPECT_TRUE(channel_->isOpen());
    EXPECT_EQ(channel_->failureReason(), "");
    EXPECT_EQ(device_->opens.last().settings, *parseSerialSettings("19200,E,7,1"));
    const auto opens = device_->opens.size();
    channel_->setSettingsText("4800,O,8,2");  // every change reopens
    EXPECT_EQ(device_->opens.size(), opens + 1);
    channel_->write("ACK\r");
    EXPECT_EQ(device_->written, "ACK\r");
    device_->openFailure = "/dev/ttyS0: in use by another program";
    channel_->reopen();
    EXPECT_EQ(channel_->failureReason(), device_->openFailure);
    EXPECT_FALSE(channel_->settingsRejected());
}

TEST_F(SerialChannelRules, HandshakingNamesOutsideTheTableBecomeNoneAndLinesOutliveReopens) {
    QStringList corrected;
    QObject::connect(channel_.get(), &SerialChannel::handshakingNameCorrected,
                     [&corrected](const QString& n) { corrected << n; });
    channel_->setDtr(true);
    channel_->setPortText("1");
    EXPECT_TRUE(device_->controls.isEmpty()) << "applied to a closed port";
    EXPECT_EQ(device_->opens[0].control.dtr, true);
    const std::pair<const char*, SerialHandshake> names[] = {
        {"rts", SerialHandshake::None},        {"", SerialHandshake::None},
        {"XonXoff", SerialHandshake::XonXoff}, {"Rts", SerialHandshake::RtsCts},
        {"None", SerialHandshake::None},       {"RtsXonXoff", SerialHandshake::RtsCtsXonXoff},
    };
    for (const auto& [name, handshake] : names) {
        const QString shown = channel_->setHandshakingName(name);
        EXPECT_EQ(shown, handshake == SerialHandshake::None ? "None" : name) << name;
        EXPECT_EQ(device_->controls.last().handshake, handshake) << name;
    }
    EXPECT_EQ(corrected, (QStringList{"None", "None"}));
    channel_->setRts(false);
    channel_->reopen();
    EXPECT_EQ(device_->opens.last().control,
              (SerialControl{SerialHandshake::RtsCtsXonXoff, true, false}));
}

TEST_F(SerialChannelRules, APortOpeningInTheBackgroundIsNeitherOpenNorFailedUntilItSays) {
    device_->inBackground = true;
    channel_->setPortText("3");
    EXPECT_FALSE(channel_->isOpen());
    EXPECT_THROW(channel_->write("x"), ComponentError);
    device_->finish({});
    EXPECT_TRUE(channel_->isOpen());
    channel_->setPortText("4");
    device_->finish("COM4: no such device");
    EXPECT_FALSE(channel_->isOpen());
    EXPECT_EQ(channel_->failureReason(), "COM4: no such device");
    EXPECT_EQ(roles_, (QList<StatusRole>{StatusRole::Ordinary, StatusRole::Success,
                                         StatusRole::Ordinary, StatusRole::Failure}));
    EXPECT_TRUE(device_->written.isEmpty());
}

TEST_F(SerialChannelRules, ALostDeviceEndsItsBurstAndIsReopenedOnlyOnceItIsBack) {
    channel_->setSettingsText("4800,E,7,1");
    channel_->setPortText("1");
    device_->arrive("tail");
    device_->isPresent = false;
    device_->lose("hung up");
    EXPECT_EQ(received_.texts, QList<QByteArray>{"tail"});
    EXPECT_FALSE(channel_->isOpen());
    EXPECT_EQ(channel_->portRole(), StatusRole::Failure);
    EXPECT_EQ(channel_->failureReason(), "the device went away (hung up)");
    const auto opens = device_->opens.size();
    ASSERT_TRUE(waitUntil([this] { return device_->presentAsked >= 1; }, 15000));
    EXPECT_EQ(device_->opens.size(), opens) << "reopened while the device was away";
    device_->isPresent = true;
    ASSERT_TRUE(waitUntil([this] { return channel_->isOpen(); }, 15000));
    EXPECT_EQ(device_->opens.last().settings.baudRate, 4800);
}

// The channel on a real pseudo-terminal, as on a scanner's adapter.
class SerialChannelOnAPty : public ::testing::Test {
  protected:
    void SetUp() override {
        pty_ = std::make_unique<test::PtyPair>(home_.base(), 7);
        ASSERT_TRUE(pty_->start()) << "socat pseudo-terminal pair did not start";
        QObject::connect(&channel_, &SerialChannel::textReceived, &channel_,
                         [this](const QByteArray& t) { received_.add(t); });
    }

    bool waitJoined(const QByteArray& all) {
        return waitUntil([&] { return received_.joined() == all; }, 10000);
    }

    test::QtAppFirst app_;  // before any QObject member
    test::ConfigHome home_;
    std::unique_ptr<test::PtyPair> pty_;
    SerialChannel channel_;
    test::Received received_;
};

TEST_F(SerialChannelOnAPty, EveryByteInRepliesOutAndADeviceMissingOrVanishedIsTakenWhenBack) {
    pty_->stop();
    channel_.setPortText("7");
    EXPECT_FALSE(channel_.isOpen());
    ASSERT_TRUE(pty_->start());  // the scanner is plugged in
    ASSERT_TRUE(waitUntil([this] { return channel_.isOpen(); }, 15000));
    EXPECT_EQ(channel_.portRole(), StatusRole::Success);
    QByteArray all;
    for (int i = 0; i < 256; ++i) all.append(static_cast<char>(i));
    ASSERT_TRUE(pty_->writeDevice(all));
    ASSERT_TRUE(waitJoined(all));
    channel_.write("ACK\r");
    EXPECT_EQ(pty_->readDevice(10000), "ACK\r");

    channel_.setSettingsText("bad");
    ASSERT_TRUE(pty_->writeDevice("late"));
    test::runEventsFor(300);
    EXPECT_EQ(received_.joined(), all) << "a closed port read";
    channel_.setDtr(true);
    channel_.setRts(false);
    channel_.setSettingsText("9600,N,8,1");
    ASSERT_TRUE(waitJoined(all + "late"));

    pty_->stop();
    ASSERT_TRUE(waitUntil([this] { return !channel_.isOpen(); }, 10000));
    EXPECT_EQ(channel_.portRole(), StatusRole::Failure);
    ASSERT_TRUE(pty_->start());
    ASSERT_TRUE(waitUntil([this] { return channel_.isOpen(); }, 15000));
    ASSERT_TRUE(pty_->writeDevice("back"));
    ASSERT_TRUE(waitJoined(all + "lateback"));
}

}  // namespace
}  // namespace kest
