#include "channels/SerialPortComponent.h"

#include <QDebug>

#include "channels/ChannelTypes.h"
#include "platform/DosPaths.h"

namespace kest {

SerialPortComponent::SerialPortComponent(QObject* parent)
    : SerialPortComponent(makeSerialDevice(), parent) {}

SerialPortComponent::SerialPortComponent(std::unique_ptr<SerialDevice> device, QObject* parent)
    : QObject(parent), device_(std::move(device)) {
    connect(device_.get(), &SerialDevice::openFinished, this, &SerialPortComponent::openFinished);
    connect(device_.get(), &SerialDevice::dataArrived, this, &SerialPortComponent::readyRead);
    connect(device_.get(), &SerialDevice::deviceLost, this, &SerialPortComponent::deviceLost);
}

SerialPortComponent::~SerialPortComponent() {
    device_->close();
}

void SerialPortComponent::setPortOpen(bool open) {
    if (!open) {
        device_->close();
        return;
    }
    if (device_->isOpen() || device_->opening()) throw ComponentError("Port already open");
    const QString device = dos::comPortDevice(commPort_);
    if (device.isEmpty()) {
        throw ComponentError("COM" + std::to_string(commPort_) +
                             ": no such device (no link in dosdevices, no standard device)");
    }
    const QString failure = device_->open(device, settings_, control_);
    if (!failure.isEmpty()) throw ComponentError(failure.toStdString());
}

void SerialPortComponent::setSettings(const QString& text) {
    QString problem;
    const auto parsed = parseSerialSettings(text, &problem);
    if (!parsed) throw ComponentError(problem.toStdString());
    settings_ = *parsed;
    // An open port takes new settings at once, as the original component does.
    if (device_->isOpen()) {
        const QString refused = device_->applySettings(settings_);
        if (!refused.isEmpty()) qDebug() << "COMM: settings" << text << "not taken:" << refused;
    }
}

void SerialPortComponent::setCommPort(int portNumber) {
    if (portNumber < 1 || portNumber > 255)
        throw ComponentError("no such port: COM port numbers go from 1 to 255");
    if (device_->isOpen() || device_->opening()) throw ComponentError("Port already open");
    commPort_ = portNumber;
}

void SerialPortComponent::setHandshaking(int value) {
    if (value < kHandshakeNone || value > kHandshakeRtsXonXoff) {
        throw ComponentError("Invalid handshaking value");
    }
    control_.handshake = static_cast<SerialHandshake>(value);
    applyControl();
}

void SerialPortComponent::setDTREnable(bool enable) {
    control_.dtr = enable;
    applyControl();
}

void SerialPortComponent::setRTSEnable(bool enable) {
    control_.rts = enable;
    applyControl();
}

QByteArray SerialPortComponent::input() {
    if (!device_->isOpen()) throw ComponentError("Port is not open");
    return device_->readAll();
}

void SerialPortComponent::setOutput(const QByteArray& data) {
    if (!device_->isOpen()) throw ComponentError("Port is not open");
    const QString failure = device_->write(data);
    if (!failure.isEmpty()) throw ComponentError(failure.toStdString());
}

bool SerialPortComponent::devicePresent(int portNumber) const {
    const QString device = dos::comPortDevice(portNumber);
    return !device.isEmpty() && device_->present(device);
}

void SerialPortComponent::applyControl() {
    // The values are kept while closed and taken by the next open.
    if (!device_->isOpen()) return;
    const QString refused = device_->applyControl(control_);
    if (!refused.isEmpty()) qDebug() << "COMM: handshaking or lines not taken:" << refused;
}

}  // namespace kest
