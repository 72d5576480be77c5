#pragma once
// The serial device on QSerialPort (Linux).

#include <QSerialPort>

#include "channels/SerialDevice.h"

namespace kest {

class QtSerialDevice : public SerialDevice {
    Q_OBJECT
  public:
    QtSerialDevice();
    ~QtSerialDevice() override;

    QString open(const QString& name, const SerialSettings& settings,
                 const SerialControl& control) override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    QString name() const override { return port_.portName(); }
    QString applySettings(const SerialSettings& settings) override;
    QString applyControl(const SerialControl& control) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;
    QString write(const QByteArray& data) override;
    bool present(const QString& name) const override;

  private:
    void applyHandshaking(SerialHandshake handshake);
    void applyLines(const SerialControl& control);
    void onPortError(QSerialPort::SerialPortError error);

    QSerialPort port_;
    bool lossReported_ = false;
};

}  // namespace kest
