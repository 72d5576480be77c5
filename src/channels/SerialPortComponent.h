#pragma once
// COMM: the serial port component on QSerialPort. The members are the ones the
// program relies on (PortOpen, Settings, CommPort, Handshaking, DTREnable, RTSEnable,
// Input, Output); a failing member throws ComponentError. Unlike a polled port it
// also announces arriving data (readyRead) so that an idle program needs no timer,
// and a device that vanishes while open (deviceLost).

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <optional>

namespace kest {

struct SerialSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    bool operator==(const SerialSettings&) const = default;
};

// "Bauds,Parity,DataBits,StopBit": a positive whole baud rate, parity N, E, O, M or S
// (either case), data bits 5 to 8, stop bits 1, 1.5 or 2. Blanks around each field
// are allowed; anything else gives nothing.
std::optional<SerialSettings> parseSerialSettings(const QString& text);

class SerialPortComponent : public QObject {
    Q_OBJECT
  public:
    static constexpr int kHandshakeNone = 0;
    static constexpr int kHandshakeXonXoff = 1;
    static constexpr int kHandshakeRts = 2;
    static constexpr int kHandshakeRtsXonXoff = 3;

    explicit SerialPortComponent(QObject* parent = nullptr);
    ~SerialPortComponent() override;

    void setPortOpen(bool open);
    bool portOpen() const { return port_.isOpen(); }
    void setSettings(const QString& text);
    void setCommPort(int portNumber);
    int commPort() const { return commPort_; }
    void setHandshaking(int value);
    void setDTREnable(bool enable);
    void setRTSEnable(bool enable);
    QByteArray input();
    void setOutput(const QByteArray& data);
    qint64 bytesWaiting() const { return port_.isOpen() ? port_.bytesAvailable() : 0; }
    QString deviceName() const { return port_.portName(); }

  signals:
    void readyRead();
    // The open device failed under the port (unplugged, hung up); the port is closed.
    void deviceLost(const QString& description);

  private:
    void applyHandshaking();
    void applyLines();
    void onPortError(QSerialPort::SerialPortError error);

    QSerialPort port_;
    SerialSettings settings_;
    int commPort_ = 1;
    int handshaking_ = kHandshakeNone;
    std::optional<bool> dtr_;
    std::optional<bool> rts_;
    bool lossReported_ = false;
};

}  // namespace kest
