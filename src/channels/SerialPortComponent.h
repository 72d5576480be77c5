#pragma once
// COMM: the serial port component. The members are the ones the program relies on
// (PortOpen, Settings, CommPort, Handshaking, DTREnable, RTSEnable, Input, Output); a
// failing member throws ComponentError. Unlike a polled port it also announces
// arriving data (readyRead) so that an idle program needs no timer, and a device that
// vanishes while open (deviceLost). The port itself is a SerialDevice of the platform.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

#include "channels/SerialDevice.h"
#include "channels/SerialSettings.h"

namespace kest {

class SerialPortComponent : public QObject {
    Q_OBJECT
  public:
    static constexpr int kHandshakeNone = 0;
    static constexpr int kHandshakeXonXoff = 1;
    static constexpr int kHandshakeRts = 2;
    static constexpr int kHandshakeRtsXonXoff = 3;

    explicit SerialPortComponent(QObject* parent = nullptr);
    // With a device of the caller's choice (tests).
    SerialPortComponent(std::unique_ptr<SerialDevice> device, QObject* parent = nullptr);
    ~SerialPortComponent() override;

    // Opening throws ComponentError when the device refused; a device that opens in
    // the background returns with opening() true and tells by openFinished.
    void setPortOpen(bool open);
    bool portOpen() const { return device_->isOpen(); }
    bool opening() const { return device_->opening(); }
    void setSettings(const QString& text);
    void setCommPort(int portNumber);
    int commPort() const { return commPort_; }
    void setHandshaking(int value);
    void setDTREnable(bool enable);
    void setRTSEnable(bool enable);
    QByteArray input();
    void setOutput(const QByteArray& data);
    qint64 bytesWaiting() const { return device_->isOpen() ? device_->bytesAvailable() : 0; }
    QString deviceName() const { return device_->name(); }
    // Whether COM port n has a device to open now (a vanished one may come back).
    bool devicePresent(int portNumber) const;

  signals:
    void openFinished(const QString& failure);
    void readyRead();
    // The open device failed under the port (unplugged, hung up); the port is closed.
    void deviceLost(const QString& description);

  private:
    void applyControl();

    std::unique_ptr<SerialDevice> device_;
    SerialSettings settings_;
    SerialControl control_;
    int commPort_ = 1;
};

}  // namespace kest
