#include <gtest/gtest.h>

#include "channels/win32/DcbMapping.h"

namespace kest::win32 {
namespace {

SerialSettings settings(const char* text) {
    return *parseSerialSettings(QString::fromLatin1(text));
}

SerialControl control(SerialHandshake handshake, std::optional<bool> dtr = std::nullopt,
                      std::optional<bool> rts = std::nullopt) {
    return SerialControl{handshake, dtr, rts};
}

TEST(DcbMapping, LineSettingsBecomeTheDriversCodes) {
    const DcbFields driver;
    DcbFields dcb = dcbFor(driver, settings("115200,N,8,1"), {});
    EXPECT_EQ(dcb.baudRate, 115200u);
    EXPECT_EQ(dcb.byteSize, 8);
    EXPECT_EQ(dcb.parity, kNoParity);
    EXPECT_FALSE(dcb.parityCheck);
    EXPECT_EQ(dcb.stopBits, kOneStopBit);
    EXPECT_TRUE(dcb.binary);

    dcb = dcbFor(driver, settings("300,E,7,2"), {});
    EXPECT_EQ(dcb.baudRate, 300u);
    EXPECT_EQ(dcb.byteSize, 7);
    EXPECT_EQ(dcb.parity, kEvenParity);
    EXPECT_TRUE(dcb.parityCheck);
    EXPECT_EQ(dcb.stopBits, kTwoStopBits);

    // Windows knows one and a half stop bits (Linux has to approximate them).
    dcb = dcbFor(driver, settings("1200,O,5,1.5"), {});
    EXPECT_EQ(dcb.parity, kOddParity);
    EXPECT_EQ(dcb.byteSize, 5);
    EXPECT_EQ(dcb.stopBits, kOne5StopBits);

    EXPECT_EQ(dcbFor(driver, settings("9600,M,8,1"), {}).parity, kMarkParity);
    EXPECT_EQ(dcbFor(driver, settings("9600,S,6,1"), {}).parity, kSpaceParity);
}

TEST(DcbMapping, EachHandshakingSettingSetsItsFlowControlAndOnlyThat) {
    const DcbFields driver;
    const SerialSettings line;

    DcbFields dcb = dcbFor(driver, line, control(SerialHandshake::None));
    EXPECT_FALSE(dcb.outxCtsFlow);
    EXPECT_EQ(dcb.rtsControl, kRtsEnable);
    EXPECT_FALSE(dcb.outX);
    EXPECT_FALSE(dcb.inX);

    dcb = dcbFor(driver, line, control(SerialHandshake::XonXoff));
    EXPECT_FALSE(dcb.outxCtsFlow);
    EXPECT_EQ(dcb.rtsControl, kRtsEnable);
    EXPECT_TRUE(dcb.outX);
    EXPECT_TRUE(dcb.inX);

    // RTS belongs to the flow control then, whatever the RTS box says.
    dcb = dcbFor(driver, line, control(SerialHandshake::RtsCts, std::nullopt, false));
    EXPECT_TRUE(dcb.outxCtsFlow);
    EXPECT_EQ(dcb.rtsControl, kRtsHandshake);
    EXPECT_FALSE(dcb.outX);
    EXPECT_FALSE(dcb.inX);

    dcb = dcbFor(driver, line, control(SerialHandshake::RtsCtsXonXoff));
    EXPECT_TRUE(dcb.outxCtsFlow);
    EXPECT_EQ(dcb.rtsControl, kRtsHandshake);
    EXPECT_TRUE(dcb.outX);
    EXPECT_TRUE(dcb.inX);

    // What SetCommState checks: distinct XON/XOFF characters, limits inside the queue.
    EXPECT_NE(dcb.xonChar, dcb.xoffChar);
    EXPECT_LT(std::uint32_t{dcb.xonLim} + dcb.xoffLim, kDriverQueueBytes);
    EXPECT_GT(dcb.xoffLim, 0);
}

TEST(DcbMapping, LinesNoOneHasSetStayAsTheDriverHasThem) {
    DcbFields driver;
    driver.dtrControl = kDtrDisable;
    driver.rtsControl = kRtsDisable;
    const SerialSettings line;

    DcbFields dcb = dcbFor(driver, line, control(SerialHandshake::None));
    EXPECT_EQ(dcb.dtrControl, kDtrDisable);
    EXPECT_EQ(dcb.rtsControl, kRtsDisable);

    dcb = dcbFor(driver, line, control(SerialHandshake::None, true, true));
    EXPECT_EQ(dcb.dtrControl, kDtrEnable);
    EXPECT_EQ(dcb.rtsControl, kRtsEnable);
    dcb = dcbFor(dcb, line, control(SerialHandshake::None, false, false));
    EXPECT_EQ(dcb.dtrControl, kDtrDisable);
    EXPECT_EQ(dcb.rtsControl, kRtsDisable);

    // Leaving RTS/CTS with the box never touched: the line goes back up, not stuck in
    // handshake mode where the driver would keep toggling it.
    const DcbFields handshaking = dcbFor(driver, line, control(SerialHandshake::RtsCts));
    EXPECT_EQ(dcbFor(handshaking, line, control(SerialHandshake::None)).rtsControl, kRtsEnable);
    // ... and with the box set, the box's value.
    EXPECT_EQ(
        dcbFor(handshaking, line, control(SerialHandshake::None, std::nullopt, false)).rtsControl,
        kRtsDisable);
}

TEST(DcbMapping, ADriverLeftInAnotherProgramsStateIsReset) {
    DcbFields driver;
    driver.binary = false;
    driver.abortOnError = true;  // one framing error would stop every later read
    driver.discardNull = true;   // NUL bytes would vanish from the data
    driver.errorChar = true;     // bad bytes would be replaced
    driver.outxDsrFlow = true;
    driver.dsrSensitivity = true;  // bytes would be dropped while DSR is low
    driver.dtrControl = kDtrHandshake;
    driver.rtsControl = kRtsToggle;
    driver.txContinueOnXoff = false;
    driver.xonChar = driver.xoffChar = 0;

    const DcbFields dcb = dcbFor(driver, SerialSettings{}, control(SerialHandshake::None));
    EXPECT_TRUE(dcb.binary);
    EXPECT_FALSE(dcb.abortOnError);
    EXPECT_FALSE(dcb.discardNull);
    EXPECT_FALSE(dcb.errorChar);
    EXPECT_FALSE(dcb.outxDsrFlow);
    EXPECT_FALSE(dcb.dsrSensitivity);
    EXPECT_EQ(dcb.dtrControl, kDtrEnable);
    EXPECT_EQ(dcb.rtsControl, kRtsEnable);
    EXPECT_TRUE(dcb.txContinueOnXoff);
    EXPECT_EQ(dcb.xonChar, kXon);
    EXPECT_EQ(dcb.xoffChar, kXoff);
    // A DCB that is already right is left as it is.
    EXPECT_EQ(dcbFor(dcb, SerialSettings{}, control(SerialHandshake::None)), dcb);
}

}  // namespace
}  // namespace kest::win32
