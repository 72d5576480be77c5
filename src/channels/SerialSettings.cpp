#include "channels/SerialSettings.h"

#include <QStringList>

namespace kest {

namespace {

std::optional<SerialParity> parityOf(const QString& field) {
    if (field.size() != 1) return std::nullopt;
    switch (field.at(0).toUpper().unicode()) {
        case 'N':
            return SerialParity::None;
        case 'E':
            return SerialParity::Even;
        case 'O':
            return SerialParity::Odd;
        case 'M':
            return SerialParity::Mark;
        case 'S':
            return SerialParity::Space;
        default:
            return std::nullopt;
    }
}

std::optional<SerialStopBits> stopBitsOf(const QString& field) {
    if (field == QLatin1String("1")) return SerialStopBits::One;
    if (field == QLatin1String("1.5")) return SerialStopBits::OneAndHalf;
    if (field == QLatin1String("2")) return SerialStopBits::Two;
    return std::nullopt;
}

bool allDigits(const QString& text) {
    if (text.isEmpty()) return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    }
    return true;
}

}  // namespace

std::optional<SerialSettings> parseSerialSettings(const QString& text) {
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4) return std::nullopt;
    const QString baud = fields[0].trimmed();
    const QString data = fields[2].trimmed();
    if (!allDigits(baud) || baud.size() > 9 || !allDigits(data)) return std::nullopt;
    SerialSettings result;
    result.baudRate = baud.toInt();
    result.dataBits = data.toInt();
    const auto parity = parityOf(fields[1].trimmed());
    const auto stopBits = stopBitsOf(fields[3].trimmed());
    if (result.baudRate <= 0 || result.dataBits < 5 || result.dataBits > 8 || !parity ||
        !stopBits) {
        return std::nullopt;
    }
    result.parity = *parity;
    result.stopBits = *stopBits;
    return result;
}

}  // namespace kest
