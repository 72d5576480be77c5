#pragma once
// The line settings of a serial port in the program's own terms, so that the text the
// user types ("9600,N,8,1") is read the same way on every platform, whatever device
// sits underneath.

#include <QString>
#include <QtGlobal>
#include <optional>

namespace kest {

enum class SerialParity { None, Even, Odd, Mark, Space };
enum class SerialStopBits { One, OneAndHalf, Two };

// COMM.Handshaking 0 to 3, in that order.
enum class SerialHandshake { None, XonXoff, RtsCts, RtsCtsXonXoff };

struct SerialSettings {
    qint32 baudRate = 9600;
    SerialParity parity = SerialParity::None;
    int dataBits = 8;
    SerialStopBits stopBits = SerialStopBits::One;
    bool operator==(const SerialSettings&) const = default;
};

// Flow control and the two modem lines. A line that no one has set yet stays as the
// device has it.
struct SerialControl {
    SerialHandshake handshake = SerialHandshake::None;
    std::optional<bool> dtr;
    std::optional<bool> rts;
    bool operator==(const SerialControl&) const = default;
};

// "Bauds,Parity,DataBits,StopBit": a positive whole baud rate, parity N, E, O, M or S
// (either case), data bits 5 to 8, stop bits 1, 1.5 or 2. Blanks around each field
// are allowed; anything else gives nothing, and problem (when given) names the part
// that is wrong and what it may be.
std::optional<SerialSettings> parseSerialSettings(const QString& text, QString* problem = nullptr);

}  // namespace kest
