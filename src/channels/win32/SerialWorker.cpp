#include "channels/win32/SerialWorker.h"

#include <QDebug>
#include <QMetaObject>
#include <algorithm>

#include "channels/win32/Win32SerialDevice.h"

namespace kest::win32 {

namespace {

// Received bytes kept for the reader at most. Beyond it the worker stops reading until
// the reader has taken them: the driver's queue then fills and flow control, where it
// is set, holds the sender. Nothing is dropped and memory stays bounded.
constexpr qsizetype kMaxBuffered = qsizetype{1} << 20;
// How long a read with nothing arriving lasts before the worker issues the next one:
// the only wake-up of an idle port.
constexpr DWORD kIdleReadMs = 5000;
// Bytes waiting to be sent at most: a peer that holds us off by flow control for
// good must not make the queue grow without end.
constexpr qsizetype kMaxQueuedOutput = qsizetype{1} << 20;

}  // namespace

QString systemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message = length ? QString::fromWCharArray(text, length).trimmed() : QString();
    LocalFree(text);
    if (message.isEmpty()) message = QStringLiteral("system error %1").arg(error);
    return message;
}

SerialWorker::SerialWorker(Win32SerialDevice* device, HANDLE port, quint64 generation)
    : device_(device), port_(port), generation_(generation) {}

SerialWorker::~SerialWorker() {
    stop();
    for (HANDLE event : {wakeEvent_, readEvent_, writeEvent_}) {
        if (event) CloseHandle(event);
    }
}

QString SerialWorker::setReadTimeouts(HANDLE port) {
    // A read returns as soon as anything has arrived, or after kIdleReadMs with
    // nothing. Writes have no timeout: a peer that holds us off by flow control is
    // waited for by the worker alone.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = kIdleReadMs;
    if (SetCommTimeouts(port, &timeouts)) return {};
    return QStringLiteral("timeouts not accepted (%1)").arg(systemMessage(GetLastError()));
}

QString SerialWorker::start() {
    wakeEvent_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    readEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    writeEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!wakeEvent_ || !readEvent_ || !writeEvent_) {
        return QStringLiteral("no event (%1)").arg(systemMessage(GetLastError()));
    }
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error& e) {
        return QStringLiteral("no thread (%1)").arg(QString::fromLocal8Bit(e.what()));
    }
    return {};
}

void SerialWorker::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake();
    thread_.join();
}

QByteArray SerialWorker::takeReceived() {
    QByteArray taken;
    bool wasFull = false;
    {
        std::lock_guard lock(mutex_);
        wasFull = received_.size() >= kMaxBuffered;
        taken.swap(received_);
    }
    if (wasFull) wake();  // the worker stopped reading for want of room
    return taken;
}

qint64 SerialWorker::receivedSize() const {
    std::lock_guard lock(mutex_);
    return received_.size();
}

qint64 SerialWorker::takeNotification() {
    std::lock_guard lock(mutex_);
    notificationPending_ = false;
    return received_.size();
}

bool SerialWorker::send(const QByteArray& data) {
    if (data.isEmpty()) return true;
    {
        std::lock_guard lock(mutex_);
        if (outgoing_.size() + data.size() > kMaxQueuedOutput) return false;
        outgoing_.append(data);
    }
    wake();
    return true;
}

void SerialWorker::wake() {
    SetEvent(wakeEvent_);
}

void SerialWorker::run() {
    QString failure;
    for (;;) {
        bool mayRead = false;
        const ULONGLONG now = GetTickCount64();
        {
            std::lock_guard lock(mutex_);
            if (stopping_) break;
            mayRead = !reading_ && received_.size() < kMaxBuffered && now >= readAgainAt_;
            if (!writing_ && inFlight_.isEmpty()) inFlight_.swap(outgoing_);
        }
        if (mayRead) {
            failure = startRead();
            if (!failure.isEmpty()) break;
        }
        // Writes are started whether or not a read ended at once, so that a steady
        // stream of received bytes cannot hold back what we send.
        if (!writing_ && !inFlight_.isEmpty()) startWrite();
        // A read that brought bytes at once, or a write that completed at once, may
        // have left more to do.
        const bool readAgainNow = mayRead && !reading_ && readAgainAt_ <= now;
        if (readAgainNow || (!writing_ && !inFlight_.isEmpty())) continue;

        HANDLE waits[3] = {wakeEvent_};
        DWORD count = 1;
        if (reading_) waits[count++] = readEvent_;
        if (writing_) waits[count++] = writeEvent_;
        // A read put off by the pacing has its time: the wait ends then.
        const ULONGLONG later = GetTickCount64();
        const DWORD timeout =
            !reading_ && readAgainAt_ > later ? static_cast<DWORD>(readAgainAt_ - later) : INFINITE;
        if (WaitForMultipleObjects(count, waits, FALSE, timeout) == WAIT_FAILED) {
            failure = QStringLiteral("wait failed (%1)").arg(systemMessage(GetLastError()));
            break;
        }
        if (reading_ && HasOverlappedIoCompleted(&readOverlapped_)) failure = finishRead();
        if (!failure.isEmpty()) break;
        if (writing_ && HasOverlappedIoCompleted(&writeOverlapped_)) finishWrite();
    }
    if (reading_ || writing_) {
        CancelIo(port_);
        DWORD done = 0;
        if (reading_ && GetOverlappedResult(port_, &readOverlapped_, &done, TRUE)) deliver(done);
        if (writing_) GetOverlappedResult(port_, &writeOverlapped_, &done, TRUE);
        reading_ = writing_ = false;
    }
    bool stopping = false;
    {
        std::lock_guard lock(mutex_);
        stopping = stopping_;
    }
    if (failure.isEmpty() || stopping) return;
    QMetaObject::invokeMethod(
        device_,
        [device = device_, generation = generation_, failure] {
            device->onWorkerFailed(generation, failure);
        },
        Qt::QueuedConnection);
}

QString SerialWorker::startRead() {
    // What the driver already holds is read at once. With nothing there the read asks
    // for one byte: Wine ends an overlapped serial read only when its buffer is full
    // (it ignores the "return what is there" timeouts then), and a one-byte read ends
    // with the first byte on every system.
    const DWORD size =
        std::clamp<DWORD>(bytesInDriver(), 1, static_cast<DWORD>(readBuffer_.size()));
    readOverlapped_ = OVERLAPPED{};
    readOverlapped_.hEvent = readEvent_;
    if (ReadFile(port_, readBuffer_.data(), size, nullptr, &readOverlapped_)) {
        DWORD done = 0;
        GetOverlappedResult(port_, &readOverlapped_, &done, FALSE);
        if (done == 0) return afterNothing(true);
        deliver(done);
        pacing_.gotData();
        return {};
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
        reading_ = true;
        return {};
    }
    return QStringLiteral("read failed (%1)").arg(systemMessage(error));
}

QString SerialWorker::finishRead() {
    reading_ = false;
    DWORD done = 0;
    if (GetOverlappedResult(port_, &readOverlapped_, &done, FALSE)) {
        // Nothing: the read's timeout ended it, the worker has slept.
        if (done == 0) return afterNothing(false);
        deliver(done);
        pacing_.gotData();
        return {};
    }
    const DWORD error = GetLastError();
    // A driver that aborts reads it was not asked to (some USB adapters after a line
    // error) is asked again, unless the device behind it is gone.
    if (error == ERROR_OPERATION_ABORTED) return afterNothing(true);
    return QStringLiteral("read failed (%1)").arg(systemMessage(error));
}

QString SerialWorker::afterNothing(bool endedAtOnce) {
    const auto pause = pacing_.gotNothing(endedAtOnce, [this] { return deviceAnswers(); });
    if (!pause) return QStringLiteral("the device no longer answers");
    readAgainAt_ = GetTickCount64() + *pause;
    return {};
}

// An adapter that was pulled out fails these two at once. A driver that has no modem
// lines to report (some virtual ports) says so, and still answers.
bool SerialWorker::deviceAnswers() {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port_, &errors, &status)) return false;
    DWORD modem = 0;
    if (GetCommModemStatus(port_, &modem)) return true;
    const DWORD error = GetLastError();
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_INVALID_PARAMETER;
}

DWORD SerialWorker::bytesInDriver() {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port_, &errors, &status)) return 0;
    if (errors & (CE_OVERRUN | CE_RXOVER)) {
        qWarning() << "COMM: the driver lost received bytes (its queue or the UART overran)";
    }
    return status.cbInQue;
}

void SerialWorker::startWrite() {
    writeOverlapped_ = OVERLAPPED{};
    writeOverlapped_.hEvent = writeEvent_;
    if (WriteFile(port_, inFlight_.constData(), static_cast<DWORD>(inFlight_.size()), nullptr,
                  &writeOverlapped_)) {
        writing_ = true;  // completed at once: taken below like a late completion
        finishWrite();
        return;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
        writing_ = true;
        return;
    }
    qWarning() << "COMM: write of" << inFlight_.size() << "bytes failed:" << systemMessage(error);
    inFlight_.clear();
}

void SerialWorker::finishWrite() {
    writing_ = false;
    DWORD done = 0;
    if (!GetOverlappedResult(port_, &writeOverlapped_, &done, FALSE)) {
        qWarning() << "COMM: write of" << inFlight_.size()
                   << "bytes failed:" << systemMessage(GetLastError());
        inFlight_.clear();
        return;
    }
    // Without write timeouts a write ends only when everything is sent; a driver that
    // sends nothing at all would otherwise be asked again and again.
    if (done == 0) {
        qWarning() << "COMM: the driver took none of" << inFlight_.size() << "bytes";
        inFlight_.clear();
        return;
    }
    inFlight_.remove(0, static_cast<qsizetype>(done));
}

void SerialWorker::deliver(DWORD count) {
    if (count == 0) return;
    bool notify = false;
    {
        std::lock_guard lock(mutex_);
        received_.append(readBuffer_.data(), static_cast<qsizetype>(count));
        notify = !notificationPending_;
        notificationPending_ = true;
    }
    if (!notify) return;
    QMetaObject::invokeMethod(
        device_,
        [device = device_, generation = generation_] { device->onDataNotified(generation); },
        Qt::QueuedConnection);
}

}  // namespace kest::win32
