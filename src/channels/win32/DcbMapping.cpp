#include "channels/win32/DcbMapping.h"

namespace kest::win32 {

namespace {

std::uint8_t parityOf(SerialParity parity) {
    switch (parity) {
        case SerialParity::Odd:
            return kOddParity;
        case SerialParity::Even:
            return kEvenParity;
        case SerialParity::Mark:
            return kMarkParity;
        case SerialParity::Space:
            return kSpaceParity;
        case SerialParity::None:
            break;
    }
    return kNoParity;
}

std::uint8_t stopBitsOf(SerialStopBits stopBits) {
    switch (stopBits) {
        case SerialStopBits::OneAndHalf:
            return kOne5StopBits;
        case SerialStopBits::Two:
            return kTwoStopBits;
        case SerialStopBits::One:
            break;
    }
    return kOneStopBit;
}

bool usesRtsCts(SerialHandshake handshake) {
    return handshake == SerialHandshake::RtsCts || handshake == SerialHandshake::RtsCtsXonXoff;
}

bool usesXonXoff(SerialHandshake handshake) {
    return handshake == SerialHandshake::XonXoff || handshake == SerialHandshake::RtsCtsXonXoff;
}

std::uint8_t rtsControlOf(std::uint8_t current, const SerialControl& control) {
    if (usesRtsCts(control.handshake)) return kRtsHandshake;
    if (control.rts) return *control.rts ? kRtsEnable : kRtsDisable;
    // Leaving RTS/CTS flow control: the line is raised, as the driver does by default.
    return current == kRtsHandshake || current == kRtsToggle ? kRtsEnable : current;
}

std::uint8_t dtrControlOf(std::uint8_t current, const SerialControl& control) {
    if (control.dtr) return *control.dtr ? kDtrEnable : kDtrDisable;
    // We never ask for DTR/DSR flow control; the line stays up if a driver had it.
    return current == kDtrHandshake ? kDtrEnable : current;
}

}  // namespace

DcbFields dcbFor(const DcbFields& current, const SerialSettings& settings,
                 const SerialControl& control) {
    DcbFields dcb = current;
    dcb.baudRate = static_cast<std::uint32_t>(settings.baudRate);
    dcb.byteSize = static_cast<std::uint8_t>(settings.dataBits);
    dcb.parity = parityOf(settings.parity);
    dcb.stopBits = stopBitsOf(settings.stopBits);
    // Windows supports only binary transfers. Bytes with a parity or framing error
    // are still handed over as they came, and an error never stops the port: the
    // program has no way to show or clear one (fAbortOnError would need ClearCommError).
    dcb.binary = true;
    dcb.parityCheck = settings.parity != SerialParity::None;
    dcb.errorChar = false;
    dcb.discardNull = false;
    dcb.abortOnError = false;
    dcb.outxDsrFlow = false;
    dcb.dsrSensitivity = false;
    dcb.dtrControl = dtrControlOf(current.dtrControl, control);

    dcb.outxCtsFlow = usesRtsCts(control.handshake);
    dcb.rtsControl = rtsControlOf(current.rtsControl, control);

    const bool xonXoff = usesXonXoff(control.handshake);
    dcb.outX = xonXoff;
    dcb.inX = xonXoff;
    // Keep sending while we have asked the sender to pause: our side never stalls.
    dcb.txContinueOnXoff = true;
    dcb.xonChar = kXon;
    dcb.xoffChar = kXoff;
    // Ask for a pause when the driver's queue is three quarters full and for more
    // when it is down to a quarter.
    dcb.xoffLim = static_cast<std::uint16_t>(kDriverQueueBytes / 4);
    dcb.xonLim = static_cast<std::uint16_t>(kDriverQueueBytes / 4);
    return dcb;
}

}  // namespace kest::win32
