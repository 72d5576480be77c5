#pragma once
// The thread behind one open Win32 serial port (Windows only). It keeps one overlapped
// read pending, and one write while there is something to send, and sleeps in
// WaitForMultipleObjects on their completions and on a wake-up event: an idle read
// ends only every few seconds (under Wine never), so an idle port costs nothing.
// After a read that brought nothing it asks the driver whether the device still
// answers (ReadPacing). Everything shared with the user-interface thread is behind one
// mutex.

#include <windows.h>

#include <QByteArray>
#include <QString>
#include <array>
#include <mutex>
#include <thread>

#include "channels/win32/ReadPacing.h"

namespace kest::win32 {

class Win32SerialDevice;

// The system's own text for an error code.
QString systemMessage(DWORD error);

class SerialWorker {
  public:
    SerialWorker(Win32SerialDevice* device, HANDLE port, quint64 generation);
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // The read timeouts the worker relies on; why they were refused, or nothing.
    static QString setReadTimeouts(HANDLE port);

    // Starts the thread; why it could not, or nothing.
    QString start();
    // Ends the pending transfers and joins the thread. Bytes not yet sent are dropped.
    void stop();

    QByteArray takeReceived();
    qint64 receivedSize() const;
    // Clears the "notification on its way" mark; returns the bytes waiting.
    qint64 takeNotification();
    // Queues the bytes for sending; false when too much is waiting already.
    bool send(const QByteArray& data);

  private:
    void run();
    QString startRead();
    QString finishRead();
    QString afterNothing(bool endedAtOnce);
    bool deviceAnswers();
    DWORD bytesInDriver();
    void startWrite();
    void finishWrite();
    void deliver(DWORD count);
    void wake();

    Win32SerialDevice* device_;
    HANDLE port_;
    quint64 generation_;
    HANDLE wakeEvent_ = nullptr;
    HANDLE readEvent_ = nullptr;
    HANDLE writeEvent_ = nullptr;
    std::thread thread_;

    // Shared with the user-interface thread.
    mutable std::mutex mutex_;
    QByteArray received_;
    QByteArray outgoing_;
    bool stopping_ = false;
    bool notificationPending_ = false;

    // The worker's own.
    OVERLAPPED readOverlapped_{};
    OVERLAPPED writeOverlapped_{};
    bool reading_ = false;
    bool writing_ = false;
    ReadPacing pacing_;
    ULONGLONG readAgainAt_ = 0;  // GetTickCount64 before which no read is started
    QByteArray inFlight_;
    std::array<char, 4096> readBuffer_{};
};

}  // namespace kest::win32
