#pragma once
// Our serial settings as the members of a Windows DCB. A plain mirror of the DCB
// fields, with the values of winbase.h, so that the mapping is a pure function that
// builds and is tested on every platform; only the Windows device copies it into a
// real DCB.

#include <cstdint>

#include "channels/SerialSettings.h"

namespace kest::win32 {

// DCB.Parity
constexpr std::uint8_t kNoParity = 0;
constexpr std::uint8_t kOddParity = 1;
constexpr std::uint8_t kEvenParity = 2;
constexpr std::uint8_t kMarkParity = 3;
constexpr std::uint8_t kSpaceParity = 4;
// DCB.StopBits
constexpr std::uint8_t kOneStopBit = 0;
constexpr std::uint8_t kOne5StopBits = 1;
constexpr std::uint8_t kTwoStopBits = 2;
// DCB.fDtrControl
constexpr std::uint8_t kDtrDisable = 0;
constexpr std::uint8_t kDtrEnable = 1;
constexpr std::uint8_t kDtrHandshake = 2;
// DCB.fRtsControl
constexpr std::uint8_t kRtsDisable = 0;
constexpr std::uint8_t kRtsEnable = 1;
constexpr std::uint8_t kRtsHandshake = 2;
constexpr std::uint8_t kRtsToggle = 3;

constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;

// The size we ask the driver to give its receive and send queues (SetupComm).
constexpr std::uint32_t kDriverQueueBytes = 16384;

struct DcbFields {
    std::uint32_t baudRate = 9600;
    std::uint8_t byteSize = 8;
    std::uint8_t parity = kNoParity;
    std::uint8_t stopBits = kOneStopBit;
    bool binary = true;
    bool parityCheck = false;  // fParity
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    std::uint8_t dtrControl = kDtrEnable;
    bool dsrSensitivity = false;
    bool txContinueOnXoff = true;
    bool outX = false;
    bool inX = false;
    bool errorChar = false;
    bool discardNull = false;  // fNull
    std::uint8_t rtsControl = kRtsEnable;
    bool abortOnError = false;
    std::uint16_t xonLim = 0;
    std::uint16_t xoffLim = 0;
    char xonChar = kXon;
    char xoffChar = kXoff;
    bool operator==(const DcbFields&) const = default;
};

// The DCB for these settings, starting from the one the driver has (current): what we
// do not decide (a modem line no one has set yet) stays as the driver has it.
DcbFields dcbFor(const DcbFields& current, const SerialSettings& settings,
                 const SerialControl& control);

}  // namespace kest::win32
