#pragma once
// The device under COMM: one open serial port of the operating system. COMM keeps the
// values the user chose and decides when to open; a device only opens, configures,
// moves bytes and says when bytes arrive or the port dies. One implementation per
// platform (qt/ on QSerialPort, win32/ on the Win32 communications API); the build
// picks which one makeSerialDevice returns.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

#include "channels/SerialSettings.h"

namespace kest {

class SerialDevice : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Opens the named device and configures it; returns why it could not, in words a
    // user understands ("<device>: no such device"), or nothing when it is open. A
    // device whose open can block (Windows: a Bluetooth port whose device is off)
    // opens in the background instead: it returns nothing with opening() true, and
    // says by openFinished how it went.
    virtual QString open(const QString& name, const SerialSettings& settings,
                         const SerialControl& control) = 0;
    virtual bool opening() const { return false; }
    // Harmless when closed. No signal comes from this device once it has returned.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QString name() const = 0;

    // On an open device: the new values are taken at once. They return why a value
    // was refused, or nothing.
    virtual QString applySettings(const SerialSettings& settings) = 0;
    virtual QString applyControl(const SerialControl& control) = 0;

    // Everything received and not yet read, in arrival order; reading removes it.
    virtual QByteArray readAll() = 0;
    virtual qint64 bytesAvailable() const = 0;
    // Sends the bytes (queued; the caller does not wait for the line). Returns why
    // they cannot be sent, or nothing.
    virtual QString write(const QByteArray& data) = 0;

    // Whether a device of that name is there to be opened, e.g. an adapter that was
    // unplugged and is back. Answered without opening it where the system can tell:
    // an open resets many instruments (DTR drops) and may block.
    virtual bool present(const QString& name) const = 0;

  signals:
    // The outcome of an open in the background: why it failed, or nothing when the
    // device is open now.
    void openFinished(const QString& failure);
    // New bytes can be read. Bytes that arrive before earlier ones were read may come
    // without a signal of their own, so a reader takes everything at each signal.
    void dataArrived();
    // The open device failed under the port (unplugged, hung up). Said once; the device
    // is closed when the signal comes.
    void deviceLost(const QString& description);
};

// The device of the platform this program is built for.
std::unique_ptr<SerialDevice> makeSerialDevice();

}  // namespace kest
