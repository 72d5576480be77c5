#include <gtest/gtest.h>

#include "ChannelTestSupport.h"
#include "FakeSerialDevice.h"
#include "channels/ChannelTypes.h"
#include "channels/SerialPortComponent.h"

namespace kest {
namespace {

// COMM's own promises where the serial channel does not go: it closes the port before
// every change, but a caller may change an open port.
TEST(SerialPortComponent, AnOpenPortTakesNewValuesAtOnceKeepsItsNumberAndSaysWhatFails) {
    test::QtAppFirst app;
    test::ConfigHome home;
    auto owned = std::make_unique<test::FakeSerialDevice>();
    test::FakeSerialDevice& device = *owned;
    SerialPortComponent comm(std::move(owned));
    comm.setHandshaking(SerialPortComponent::kHandshakeRts);
    EXPECT_THROW(comm.setHandshaking(4), ComponentError);
    for (int outside : {0, 256}) EXPECT_THROW(comm.setCommPort(outside), ComponentError);
    comm.setPortOpen(true);
    comm.setRTSEnable(false);
    ASSERT_EQ(device.controls.size(), 1);
    EXPECT_EQ(device.controls[0], (SerialControl{SerialHandshake::RtsCts, std::nullopt, false}));
    comm.setSettings("4800,N,8,2");
    ASSERT_EQ(device.applied.size(), 1);
    EXPECT_EQ(device.applied[0], *parseSerialSettings("4800,N,8,2"));

    device.refusal = QStringLiteral("not supported by the adapter");
    EXPECT_NO_THROW(comm.setSettings("921600,N,8,1"));
    EXPECT_NO_THROW(comm.setHandshaking(SerialPortComponent::kHandshakeXonXoff));
    EXPECT_TRUE(comm.portOpen());
    EXPECT_THROW(comm.setCommPort(2), ComponentError);
    EXPECT_THROW(comm.setPortOpen(true), ComponentError);
    device.writeFailure = QStringLiteral("Write failed: device gone");
    EXPECT_THROW(comm.setOutput("more"), ComponentError);
    comm.setPortOpen(false);
    EXPECT_THROW(comm.input(), ComponentError);
    EXPECT_THROW(comm.setOutput("x"), ComponentError);
}

}  // namespace
}  // namespace kest
