#include <gtest/gtest.h>

#include "ChannelTestSupport.h"
#include "FakeSerialDevice.h"
#include "channels/ChannelTypes.h"
#include "channels/SerialPortComponent.h"

namespace kest {
namespace {

class SerialPortComponentTest : public ::testing::Test {
  protected:
    SerialPortComponentTest() {
        auto device = std::make_unique<test::FakeSerialDevice>();
        device_ = device.get();
        comm_ = std::make_unique<SerialPortComponent>(std::move(device));
    }
    test::QtAppFirst app_;
    test::ConfigHome home_;
    test::FakeSerialDevice* device_ = nullptr;
    std::unique_ptr<SerialPortComponent> comm_;
};

TEST_F(SerialPortComponentTest, HandshakingAndLinesAreKeptWhileClosedAndTakenByEveryOpen) {
    comm_->setHandshaking(SerialPortComponent::kHandshakeRts);
    comm_->setDTREnable(true);
    EXPECT_TRUE(device_->controls.isEmpty()) << "nothing to apply to a closed port";

    comm_->setSettings("19200,E,7,1.5");
    // A refused value leaves the last good one in place.
    try {
        comm_->setSettings("9600,X,8,1");
        ADD_FAILURE() << "taken";
    } catch (const ComponentError& e) {
        EXPECT_STREQ(e.what(), "parity \"X\" is not one of N, E, O, M or S");
    }
    EXPECT_THROW(comm_->setHandshaking(4), ComponentError);
    for (int outside : {0, 256}) EXPECT_THROW(comm_->setCommPort(outside), ComponentError);
    comm_->setCommPort(1);
    comm_->setPortOpen(true);
    ASSERT_EQ(device_->opens.size(), 1);
    const SerialControl expected{SerialHandshake::RtsCts, true, std::nullopt};
    EXPECT_EQ(device_->opens[0].control, expected);
    EXPECT_EQ(device_->opens[0].settings, *parseSerialSettings("19200,E,7,1.5"));
    EXPECT_FALSE(device_->opens[0].name.isEmpty());

    // An open port takes a change at once, with the values set before.
    comm_->setRTSEnable(false);
    ASSERT_EQ(device_->controls.size(), 1);
    EXPECT_EQ(device_->controls[0], (SerialControl{SerialHandshake::RtsCts, true, false}));

    comm_->setPortOpen(false);
    comm_->setPortOpen(true);
    EXPECT_EQ(device_->opens.last().control, (SerialControl{SerialHandshake::RtsCts, true, false}));
}

TEST_F(SerialPortComponentTest, SettingsReachAnOpenPortAndARefusalIsNoFailureOfTheCall) {
    comm_->setPortOpen(true);
    comm_->setSettings("4800,N,8,2");
    ASSERT_EQ(device_->applied.size(), 1);
    EXPECT_EQ(device_->applied[0].baudRate, 4800);
    EXPECT_EQ(device_->applied[0].stopBits, SerialStopBits::Two);

    device_->refusal = QStringLiteral("not supported by the adapter");
    EXPECT_NO_THROW(comm_->setSettings("921600,N,8,1"));
    EXPECT_NO_THROW(comm_->setHandshaking(SerialPortComponent::kHandshakeXonXoff));
    EXPECT_TRUE(comm_->portOpen());
    // The port number cannot change under an open port.
    EXPECT_THROW(comm_->setCommPort(2), ComponentError);
    EXPECT_THROW(comm_->setPortOpen(true), ComponentError);
}

TEST_F(SerialPortComponentTest, ADeviceThatDoesNotOpenGivesItsReasonAndStaysClosed) {
    device_->openFailure = QStringLiteral("/dev/ttyS0: in use by another program");
    try {
        comm_->setPortOpen(true);
        FAIL() << "the open did not fail";
    } catch (const ComponentError& e) {
        EXPECT_STREQ(e.what(), "/dev/ttyS0: in use by another program");
    }
    EXPECT_FALSE(comm_->portOpen());
    EXPECT_THROW(comm_->input(), ComponentError);
}

TEST_F(SerialPortComponentTest, InputAndOutputPassThroughTheDeviceWhileOpen) {
    EXPECT_THROW(comm_->setOutput("x"), ComponentError);
    comm_->setPortOpen(true);
    device_->waiting = QByteArray(
        "12\0"
        "45",
        5);
    EXPECT_EQ(comm_->bytesWaiting(), 5);
    EXPECT_EQ(comm_->input(), QByteArray("12\0"
                                         "45",
                                         5));
    EXPECT_EQ(comm_->input(), QByteArray());

    comm_->setOutput("ACK\r");
    EXPECT_EQ(device_->written, "ACK\r");
    device_->writeFailure = QStringLiteral("Write failed: device gone");
    EXPECT_THROW(comm_->setOutput("more"), ComponentError);
}

}  // namespace
}  // namespace kest
