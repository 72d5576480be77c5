#include "channels/SerialPortComponent.h"

#include <QDebug>
#include <QStringList>

#include "platform/DosPaths.h"
#include "channels/ChannelTypes.h"

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace kest {

namespace {

// Why a device did not open, in the words a user looks for in the field's tool tip.
std::string openFailure(const QString& device, QSerialPort::SerialPortError error,
                        const QString& detail) {
    QString why;
    switch (error) {
        case QSerialPort::DeviceNotFoundError:
            why = QStringLiteral("no such device");
            break;
        case QSerialPort::PermissionError:
            // Qt reports a port that another program holds (busy, locked) as a
            // permission error too; only its text tells them apart.
            why = detail.contains(QLatin1String("busy"), Qt::CaseInsensitive) ||
                          detail.contains(QLatin1String("lock"), Qt::CaseInsensitive)
                      ? QStringLiteral("in use by another program")
                      : QStringLiteral(
                            "permission denied (the user may need to be in the "
                            "group that owns the device, often dialout)");
            break;
        case QSerialPort::OpenError:
            why = QStringLiteral("in use by another program");
            break;
        default:
            why = detail;
    }
    return QStringLiteral("%1: %2").arg(device, why).toStdString();
}

std::optional<QSerialPort::Parity> parityOf(const QString& field) {
    if (field.size() != 1) return std::nullopt;
    switch (field.at(0).toUpper().unicode()) {
        case 'N':
            return QSerialPort::NoParity;
        case 'E':
            return QSerialPort::EvenParity;
        case 'O':
            return QSerialPort::OddParity;
        case 'M':
            return QSerialPort::MarkParity;
        case 'S':
            return QSerialPort::SpaceParity;
        default:
            return std::nullopt;
    }
}

std::optional<QSerialPort::StopBits> stopBitsOf(const QString& field) {
    if (field == QLatin1String("1")) return QSerialPort::OneStop;
    if (field == QLatin1String("2")) return QSerialPort::TwoStop;
    if (field != QLatin1String("1.5")) return std::nullopt;
#ifdef Q_OS_WIN
    return QSerialPort::OneAndHalfStop;
#else
    // termios has no 1.5 stop bits; a UART asked for two stop bits with five-bit
    // words sends one and a half, which is the only case where 1.5 is meaningful.
    return QSerialPort::TwoStop;
#endif
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
    const int dataBits = data.toInt();
    const auto parity = parityOf(fields[1].trimmed());
    const auto stopBits = stopBitsOf(fields[3].trimmed());
    if (result.baudRate <= 0 || dataBits < 5 || dataBits > 8 || !parity || !stopBits) {
        return std::nullopt;
    }
    result.parity = *parity;
    result.dataBits = static_cast<QSerialPort::DataBits>(dataBits);
    result.stopBits = *stopBits;
    return result;
}

SerialPortComponent::SerialPortComponent(QObject* parent) : QObject(parent) {
    connect(&port_, &QSerialPort::readyRead, this, &SerialPortComponent::readyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialPortComponent::onPortError);
}

SerialPortComponent::~SerialPortComponent() {
    port_.close();
}

void SerialPortComponent::setPortOpen(bool open) {
    if (!open) {
        port_.close();
        return;
    }
    if (port_.isOpen()) throw ComponentError("Port already open");
    const QString device = dos::comPortDevice(commPort_);
    if (device.isEmpty()) {
        throw ComponentError("COM" + std::to_string(commPort_) +
                             ": no such device (no link in dosdevices, no standard device)");
    }
    port_.setPortName(device);
    port_.setBaudRate(settings_.baudRate);
    port_.setParity(settings_.parity);
    port_.setDataBits(settings_.dataBits);
    port_.setStopBits(settings_.stopBits);
    lossReported_ = false;
    if (!port_.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = port_.error();
        const QString detail = port_.errorString();
        port_.close();
        throw ComponentError(openFailure(device, error, detail));
    }
    applyHandshaking();
    applyLines();
}

void SerialPortComponent::setSettings(const QString& text) {
    const auto parsed = parseSerialSettings(text);
    if (!parsed) {
        throw ComponentError("the settings \"" + text.toStdString() +
                             "\" are not of the form Bauds,Parity,DataBits,StopBit");
    }
    settings_ = *parsed;
    if (port_.isOpen()) {
        // An open port takes new settings at once, as the original component does.
        port_.setBaudRate(settings_.baudRate);
        port_.setParity(settings_.parity);
        port_.setDataBits(settings_.dataBits);
        port_.setStopBits(settings_.stopBits);
    }
}

void SerialPortComponent::setCommPort(int portNumber) {
    if (portNumber < 1 || portNumber > 255)
        throw ComponentError("no such port: COM port numbers go from 1 to 255");
    if (port_.isOpen()) throw ComponentError("Port already open");
    commPort_ = portNumber;
}

void SerialPortComponent::setHandshaking(int value) {
    if (value < kHandshakeNone || value > kHandshakeRtsXonXoff) {
        throw ComponentError("Invalid handshaking value");
    }
    handshaking_ = value;
    if (port_.isOpen()) applyHandshaking();
}

void SerialPortComponent::setDTREnable(bool enable) {
    dtr_ = enable;
    if (port_.isOpen()) applyLines();
}

void SerialPortComponent::setRTSEnable(bool enable) {
    rts_ = enable;
    if (port_.isOpen()) applyLines();
}

QByteArray SerialPortComponent::input() {
    if (!port_.isOpen()) throw ComponentError("Port is not open");
    return port_.readAll();
}

void SerialPortComponent::setOutput(const QByteArray& data) {
    if (!port_.isOpen()) throw ComponentError("Port is not open");
    if (port_.write(data) != data.size()) {
        throw ComponentError("Write failed: " + port_.errorString().toStdString());
    }
}

void SerialPortComponent::applyHandshaking() {
    static constexpr QSerialPort::FlowControl kFlow[] = {
        QSerialPort::NoFlowControl, QSerialPort::SoftwareControl, QSerialPort::HardwareControl,
        QSerialPort::HardwareControl};
    if (!port_.setFlowControl(kFlow[handshaking_])) {
        qDebug() << "COMM: flow control" << handshaking_ << "not taken by" << port_.portName()
                 << port_.errorString();
        return;
    }
#ifdef Q_OS_UNIX
    if (handshaking_ == kHandshakeRtsXonXoff) {
        // QSerialPort knows either RTS/CTS or XON/XOFF; the fourth setting wants both.
        termios tio{};
        if (tcgetattr(static_cast<int>(port_.handle()), &tio) == 0) {
            tio.c_iflag |= IXON | IXOFF;
            if (tcsetattr(static_cast<int>(port_.handle()), TCSANOW, &tio) != 0) {
                qDebug() << "COMM: XON/XOFF with RTS/CTS not taken by" << port_.portName();
            }
        }
    }
#endif
}

void SerialPortComponent::applyLines() {
    // Pseudo-terminals and some adapters have no modem lines; the value is kept and
    // the refusal only reported, since the program treats these lines as advisory.
    if (dtr_ && !port_.setDataTerminalReady(*dtr_)) {
        qDebug() << "COMM: DTR not taken by" << port_.portName() << port_.errorString();
    }
    if (rts_ && handshaking_ < kHandshakeRts && !port_.setRequestToSend(*rts_)) {
        qDebug() << "COMM: RTS not taken by" << port_.portName() << port_.errorString();
    }
    port_.clearError();
}

void SerialPortComponent::onPortError(QSerialPort::SerialPortError error) {
    // An unplugged adapter gives a resource error; a terminal whose other side went
    // away (a pseudo-terminal, a hung-up line) a read error that repeats at every
    // notification. Either way the port is dead until it is opened again.
    const bool dead = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (!dead || !port_.isOpen() || lossReported_) return;
    lossReported_ = true;
    const QString description = port_.errorString();
    qWarning() << "COMM: device" << port_.portName() << "lost:" << description;
    // Closed from the event loop, not from inside QSerialPort's own notification.
    QMetaObject::invokeMethod(
        this,
        [this, description] {
            if (!lossReported_) return;  // reopened meanwhile: that port is a new one
            port_.close();
            emit deviceLost(description);
        },
        Qt::QueuedConnection);
}

}  // namespace kest
