#include "channels/qt/QtSerialDevice.h"

#include <QDebug>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

#include "channels/qt/PortPermission.h"

namespace kest {

namespace {

// Why a device did not open, in the words a user looks for in the field's tool tip.
QString openFailure(const QString& device, QSerialPort::SerialPortError error,
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
                      : QStringLiteral("permission denied: ") + portPermissionAdvice(device);
            break;
        case QSerialPort::OpenError:
            why = QStringLiteral("in use by another program");
            break;
        default:
            why = detail;
    }
    return QStringLiteral("%1: %2").arg(device, why);
}

QSerialPort::Parity qtParity(SerialParity parity) {
    switch (parity) {
        case SerialParity::Even:
            return QSerialPort::EvenParity;
        case SerialParity::Odd:
            return QSerialPort::OddParity;
        case SerialParity::Mark:
            return QSerialPort::MarkParity;
        case SerialParity::Space:
            return QSerialPort::SpaceParity;
        case SerialParity::None:
            break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits qtStopBits(SerialStopBits stopBits) {
    // termios has no 1.5 stop bits; a UART asked for two stop bits with five-bit
    // words sends one and a half, which is the only case where 1.5 is meaningful.
    return stopBits == SerialStopBits::One ? QSerialPort::OneStop : QSerialPort::TwoStop;
}

}  // namespace

std::unique_ptr<SerialDevice> makeSerialDevice() {
    return std::make_unique<QtSerialDevice>();
}

QtSerialDevice::QtSerialDevice() {
    connect(&port_, &QSerialPort::readyRead, this, &SerialDevice::dataArrived);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialDevice::onPortError);
}

QtSerialDevice::~QtSerialDevice() {
    port_.close();
}

QString QtSerialDevice::open(const QString& name, const SerialSettings& settings,
                             const SerialControl& control) {
    port_.setPortName(name);
    applySettings(settings);
    lossReported_ = false;
    if (!port_.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = port_.error();
        const QString detail = port_.errorString();
        port_.close();
        return openFailure(name, error, detail);
    }
    applyControl(control);
    return {};
}

void QtSerialDevice::close() {
    port_.close();
}

QString QtSerialDevice::applySettings(const SerialSettings& settings) {
    // Before the open these only record the values; an open port takes them at once.
    const bool taken = port_.setBaudRate(settings.baudRate) &&
                       port_.setParity(qtParity(settings.parity)) &&
                       port_.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits)) &&
                       port_.setStopBits(qtStopBits(settings.stopBits));
    return taken ? QString() : port_.errorString();
}

QString QtSerialDevice::applyControl(const SerialControl& control) {
    applyHandshaking(control.handshake);
    applyLines(control);
    return {};
}

QByteArray QtSerialDevice::readAll() {
    return port_.readAll();
}

qint64 QtSerialDevice::bytesAvailable() const {
    return port_.isOpen() ? port_.bytesAvailable() : 0;
}

QString QtSerialDevice::write(const QByteArray& data) {
    if (port_.write(data) != data.size())
        return QStringLiteral("Write failed: ") + port_.errorString();
    return {};
}

bool QtSerialDevice::present(const QString& name) const {
    return QFileInfo::exists(name);
}

void QtSerialDevice::applyHandshaking(SerialHandshake handshake) {
    static constexpr QSerialPort::FlowControl kFlow[] = {
        QSerialPort::NoFlowControl, QSerialPort::SoftwareControl, QSerialPort::HardwareControl,
        QSerialPort::HardwareControl};
    if (!port_.setFlowControl(kFlow[static_cast<int>(handshake)])) {
        qDebug() << "COMM: flow control" << static_cast<int>(handshake) << "not taken by"
                 << port_.portName() << port_.errorString();
        return;
    }
#ifdef Q_OS_UNIX
    if (handshake == SerialHandshake::RtsCtsXonXoff) {
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

void QtSerialDevice::applyLines(const SerialControl& control) {
    // Pseudo-terminals and some adapters have no modem lines; the value is kept and
    // the refusal only reported, since the program treats these lines as advisory.
    if (control.dtr && !port_.setDataTerminalReady(*control.dtr)) {
        qDebug() << "COMM: DTR not taken by" << port_.portName() << port_.errorString();
    }
    const bool rtsIsFlowControl = control.handshake == SerialHandshake::RtsCts ||
                                  control.handshake == SerialHandshake::RtsCtsXonXoff;
    if (control.rts && !rtsIsFlowControl && !port_.setRequestToSend(*control.rts)) {
        qDebug() << "COMM: RTS not taken by" << port_.portName() << port_.errorString();
    }
    port_.clearError();
}

void QtSerialDevice::onPortError(QSerialPort::SerialPortError error) {
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
            if (!lossReported_ || !port_.isOpen()) return;  // reopened or closed meanwhile
            port_.close();
            emit deviceLost(description);
        },
        Qt::QueuedConnection);
}

}  // namespace kest
