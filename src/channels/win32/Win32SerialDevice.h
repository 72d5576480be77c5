#pragma once
// The serial device on the Win32 communications API. The port is opened for
// overlapped I/O and served by one worker thread, which waits (never polls) on the
// completion of its read, of its write and on a wake-up from the user-interface
// thread. Reads use the "return as soon as anything is there" timeouts, so the
// thread sleeps while the line is idle. Writes are handed to the worker: the
// user-interface thread never waits for the line, even with a flow-controlled peer
// that holds us off. Received bytes collect in a buffer that readAll empties; the
// first byte after a read is announced by a queued signal.

#include <QByteArray>
#include <QString>
#include <memory>

#include "channels/SerialDevice.h"

namespace kest::win32 {

class SerialWorker;

class Win32SerialDevice : public SerialDevice {
    Q_OBJECT
  public:
    Win32SerialDevice();
    ~Win32SerialDevice() override;

    QString open(const QString& name, const SerialSettings& settings,
                 const SerialControl& control) override;
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
    QString applyDcb(const SerialSettings& settings, const SerialControl& control);

    void* handle_ = nullptr;  // HANDLE of the open port
    QString name_;
    SerialSettings settings_;
    SerialControl control_;
    std::unique_ptr<SerialWorker> worker_;
    quint64 generation_ = 0;  // one per open, so that a late call of an old worker is dropped
};

}  // namespace kest::win32
