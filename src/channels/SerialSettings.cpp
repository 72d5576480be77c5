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

std::optional<SerialSettings> parseSerialSettings(const QString& text, QString* problem) {
    const auto wrong = [&](const QString& why) {
        if (problem) *problem = why;
        return std::nullopt;
    };
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4) {
        return wrong(QStringLiteral("%1 parts where Bauds,Parity,DataBits,StopBit are 4 "
                                    "(for example 9600,N,8,1)")
                         .arg(fields.size()));
    }
    const QString baud = fields[0].trimmed();
    const QString data = fields[2].trimmed();
    const QString stop = fields[3].trimmed();
    SerialSettings result;
    if (!allDigits(baud) || baud.size() > 9 || (result.baudRate = baud.toInt()) <= 0)
        return wrong(QStringLiteral("bauds \"%1\" are not a whole number above 0").arg(baud));
    const auto parity = parityOf(fields[1].trimmed());
    if (!parity) {
        return wrong(
            QStringLiteral("parity \"%1\" is not one of N, E, O, M or S").arg(fields[1].trimmed()));
    }
    if (!allDigits(data) || (result.dataBits = data.toInt()) < 5 || result.dataBits > 8)
        return wrong(QStringLiteral("data bits \"%1\" are not 5, 6, 7 or 8").arg(data));
    const auto stopBits = stopBitsOf(stop);
    if (!stopBits) return wrong(QStringLiteral("stop bits \"%1\" are not 1, 1.5 or 2").arg(stop));
    result.parity = *parity;
    result.stopBits = *stopBits;
    return result;
}

}  // namespace kest
