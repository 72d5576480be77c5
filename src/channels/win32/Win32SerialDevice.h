#pragma once
// The serial device on the Win32 communications API. The port is opened and configured
// on a thread of its own (PortOpener: the open of a Bluetooth port whose device is off
// blocks for seconds), for overlapped I/O, and then served by one worker thread, which
// waits (never polls) on the completion of its read, of its write and on a wake-up
// from the user-interface thread. Whether a port is there is read from the system's
// list of serial ports, without opening it. Reads use the "return as soon as anything
// is there" timeouts, so the thread sleeps while the line is idle. Writes are handed to
// the worker: the user-interface thread never waits for the line, even with a
// flow-controlled peer that holds us off. Received bytes collect in a buffer that
// readAll empties; the first byte after a read is announced by a queued signal.

#include <QByteArray>
#include <QString>
#include <memory>

#include "channels/PortOpener.h"
#include "channels/SerialDevice.h"

namespace kest::win32 {

class SerialWorker;

class Win32SerialDevice : public SerialDevice {
    Q_OBJECT
  public:
    Win32SerialDevice();
    ~Win32SerialDevice() override;

    // Returns at once: the port opens in the background (openFinished).
    QString open(const QString& name, const SerialSettings& settings,
                 const SerialControl& control) override;
    bool opening() const override { return opener_.opening(); }
    void close() override;
    bool isOpen() const override { return handle_ != nullptr; }
    QString name() const override { return name_; }
    QString applySettings(const SerialSettings& settings) override;
    QString applyControl(const SerialControl& control) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;
    QString write(const QByteArray& data) override;
    bool present(const QString& name) const override;

  private:
    friend class SerialWorker;
    // Called on the user-interface thread through queued calls from the worker.
    void onDataNotified(quint64 generation);
    void onWorkerFailed(quint64 generation, const QString& description);
    void onOpened(std::uintptr_t port, const QString& failure);
    QString applyDcb(const SerialSettings& settings, const SerialControl& control);

    PortOpener opener_;
    void* handle_ = nullptr;  // HANDLE of the open port
    QString name_;
    SerialSettings settings_;
    SerialControl control_;
    // What the port was opened with, to catch changes made while it opened.
    SerialSettings openedSettings_;
    SerialControl openedControl_;
    std::unique_ptr<SerialWorker> worker_;
    quint64 generation_ = 0;  // one per open, so that a late call of an old worker is dropped
};

}  // namespace kest::win32
