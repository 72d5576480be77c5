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
    struct Case {
        const char* text;
        std::uint32_t baudRate;
        std::uint8_t byteSize, parity, stopBits;
    };
    // Windows knows one and a half stop bits (Linux has to approximate them).
    const Case cases[] = {{"115200,N,8,1", 115200, 8, kNoParity, kOneStopBit},
                          {"300,E,7,2", 300, 7, kEvenParity, kTwoStopBits},
                          {"1200,O,5,1.5", 1200, 5, kOddParity, kOne5StopBits},
                          {"9600,M,8,1", 9600, 8, kMarkParity, kOneStopBit},
                          {"9600,S,6,1", 9600, 6, kSpaceParity, kOneStopBit}};
    for (const Case& c : cases) {
        const DcbFields dcb = dcbFor(DcbFields{}, settings(c.text), {});
        EXPECT_EQ(dcb.baudRate, c.baudRate) << c.text;
        EXPECT_EQ(dcb.byteSize, c.byteSize) << c.text;
        EXPECT_EQ(dcb.parity, c.parity) << c.text;
        EXPECT_EQ(dcb.parityCheck, c.parity != kNoParity) << c.text;
        EXPECT_EQ(dcb.stopBits, c.stopBits) << c.text;
        EXPECT_TRUE(dcb.binary) << c.text;
    }
}

TEST(DcbMapping, EachHandshakingSettingSetsItsFlowControlAndOnlyThat) {
    struct Case {
        SerialHandshake handshake;
        bool cts;
        std::uint8_t rts;
        bool xonXoff;
    };
    // RTS belongs to the flow control with RTS/CTS, whatever the RTS box says.
    const Case cases[] = {{SerialHandshake::None, false, kRtsEnable, false},
                          {SerialHandshake::XonXoff, false, kRtsEnable, true},
                          {SerialHandshake::RtsCts, true, kRtsHandshake, false},
                          {SerialHandshake::RtsCtsXonXoff, true, kRtsHandshake, true}};
    for (const Case& c : cases) {
        const DcbFields dcb =
            dcbFor(DcbFields{}, SerialSettings{}, control(c.handshake, true, true));
        const int which = static_cast<int>(c.handshake);
        EXPECT_EQ(dcb.outxCtsFlow, c.cts) << which;
        EXPECT_EQ(dcb.rtsControl, c.rts) << which;
        EXPECT_EQ(dcb.outX, c.xonXoff) << which;
        EXPECT_EQ(dcb.inX, c.xonXoff) << which;
        // What SetCommState checks: distinct XON/XOFF characters, limits inside the queue.
        EXPECT_NE(dcb.xonChar, dcb.xoffChar);
        EXPECT_LT(std::uint32_t{dcb.xonLim} + dcb.xoffLim, kDriverQueueBytes);
        EXPECT_GT(dcb.xoffLim, 0);
    }
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
    DcbFields expected;            // a plain 9600,N,8,1 port, binary, lines up, nothing dropped
    expected.xonLim = dcb.xonLim;  // the queue's limits are checked with the handshakes
    expected.xoffLim = dcb.xoffLim;
    EXPECT_EQ(dcb, expected);
    // A DCB that is already right is left as it is.
    EXPECT_EQ(dcbFor(dcb, SerialSettings{}, control(SerialHandshake::None)), dcb);
}

}  // namespace
}  // namespace kest::win32
