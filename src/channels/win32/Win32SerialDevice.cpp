#include "channels/win32/Win32SerialDevice.h"

#include <windows.h>

#include <QDebug>
#include <QMetaObject>

#include "channels/win32/DcbMapping.h"
#include "channels/win32/SerialWorker.h"
#include "platform/win32/Win32Calls.h"
#include "platform/win32/Win32Paths.h"

namespace kest {

std::unique_ptr<SerialDevice> makeSerialDevice() {
    return std::make_unique<win32::Win32SerialDevice>();
}

}  // namespace kest

namespace kest::win32 {

namespace {

QString openFailure(const QString& device, DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return QStringLiteral("%1: no such device").arg(device);
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            // A COM port is opened exclusively; Windows says "access denied" when
            // another program holds it.
            return QStringLiteral("%1: in use by another program").arg(device);
        default:
            return QStringLiteral("%1: %2").arg(device, systemMessage(error));
    }
}

DcbFields fieldsOf(const DCB& dcb) {
    DcbFields f;
    f.baudRate = dcb.BaudRate;
    f.byteSize = dcb.ByteSize;
    f.parity = dcb.Parity;
    f.stopBits = dcb.StopBits;
    f.binary = dcb.fBinary;
    f.parityCheck = dcb.fParity;
    f.outxCtsFlow = dcb.fOutxCtsFlow;
    f.outxDsrFlow = dcb.fOutxDsrFlow;
    f.dtrControl = static_cast<std::uint8_t>(dcb.fDtrControl);
    f.dsrSensitivity = dcb.fDsrSensitivity;
    f.txContinueOnXoff = dcb.fTXContinueOnXoff;
    f.outX = dcb.fOutX;
    f.inX = dcb.fInX;
    f.errorChar = dcb.fErrorChar;
    f.discardNull = dcb.fNull;
    f.rtsControl = static_cast<std::uint8_t>(dcb.fRtsControl);
    f.abortOnError = dcb.fAbortOnError;
    f.xonLim = dcb.XonLim;
    f.xoffLim = dcb.XoffLim;
    f.xonChar = dcb.XonChar;
    f.xoffChar = dcb.XoffChar;
    return f;
}

void copyInto(DCB& dcb, const DcbFields& f) {
    dcb.BaudRate = f.baudRate;
    dcb.ByteSize = f.byteSize;
    dcb.Parity = f.parity;
    dcb.StopBits = f.stopBits;
    dcb.fBinary = f.binary;
    dcb.fParity = f.parityCheck;
    dcb.fOutxCtsFlow = f.outxCtsFlow;
    dcb.fOutxDsrFlow = f.outxDsrFlow;
    dcb.fDtrControl = f.dtrControl;
    dcb.fDsrSensitivity = f.dsrSensitivity;
    dcb.fTXContinueOnXoff = f.txContinueOnXoff;
    dcb.fOutX = f.outX;
    dcb.fInX = f.inX;
    dcb.fErrorChar = f.errorChar;
    dcb.fNull = f.discardNull;
    dcb.fRtsControl = f.rtsControl;
    dcb.fAbortOnError = f.abortOnError;
    dcb.XonLim = f.xonLim;
    dcb.XoffLim = f.xoffLim;
    dcb.XonChar = f.xonChar;
    dcb.XoffChar = f.xoffChar;
}

// Reads the driver's settings, changes ours in and writes them back.
QString writeDcb(HANDLE port, const SerialSettings& settings, const SerialControl& control) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) {
        return QStringLiteral("not a serial port (%1)").arg(systemMessage(GetLastError()));
    }
    copyInto(dcb, dcbFor(fieldsOf(dcb), settings, control));
    if (!SetCommState(port, &dcb)) {
        return QStringLiteral("settings not accepted (%1)").arg(systemMessage(GetLastError()));
    }
    return {};
}

// On the opener's thread: everything that talks to the driver before the worker runs.
PortOpener::Outcome openPort(const QString& name, const SerialSettings& settings,
                             const SerialControl& control) {
    const std::wstring path = name.toStdWString();
    HANDLE port = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) return {0, openFailure(name, GetLastError())};
    // Advisory: a driver that keeps its own queue sizes works as well.
    if (!SetupComm(port, kDriverQueueBytes, kDriverQueueBytes)) {
        qDebug() << "COMM: queue sizes not taken by" << name << systemMessage(GetLastError());
    }
    QString failure = writeDcb(port, settings, control);
    if (failure.isEmpty()) failure = SerialWorker::setReadTimeouts(port);
    if (!failure.isEmpty()) {
        CloseHandle(port);
        return {0, QStringLiteral("%1: %2").arg(name, failure)};
    }
    return {reinterpret_cast<std::uintptr_t>(port), {}};
}

void closePort(std::uintptr_t port) {
    CloseHandle(reinterpret_cast<HANDLE>(port));
}

}  // namespace

Win32SerialDevice::Win32SerialDevice() : opener_(&closePort) {
    connect(&opener_, &PortOpener::finished, this, &Win32SerialDevice::onOpened);
}

Win32SerialDevice::~Win32SerialDevice() {
    close();
}

QString Win32SerialDevice::open(const QString& name, const SerialSettings& settings,
                                const SerialControl& control) {
    close();
    name_ = name;
    settings_ = openedSettings_ = settings;
    control_ = openedControl_ = control;
    opener_.start([name, settings, control] { return openPort(name, settings, control); });
    return {};
}

void Win32SerialDevice::onOpened(std::uintptr_t port, const QString& failure) {
    if (!port) {
        emit openFinished(failure);
        return;
    }
    handle_ = reinterpret_cast<HANDLE>(port);
    QString problem;
    // Settings the user changed while the port opened.
    if (settings_ != openedSettings_ || control_ != openedControl_)
        problem = applyDcb(settings_, control_);
    if (problem.isEmpty()) {
        worker_ = std::make_unique<SerialWorker>(this, handle_, ++generation_);
        problem = worker_->start();
    }
    if (!problem.isEmpty()) {
        worker_.reset();
        CloseHandle(static_cast<HANDLE>(handle_));
        handle_ = nullptr;
        emit openFinished(QStringLiteral("%1: %2").arg(name_, problem));
        return;
    }
    emit openFinished(QString());
}

void Win32SerialDevice::close() {
    opener_.cancel();
    if (!handle_) return;
    worker_->stop();
    worker_.reset();
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    ++generation_;  // drops the queued calls of the worker that just ended
}

QString Win32SerialDevice::applySettings(const SerialSettings& settings) {
    return applyDcb(settings, control_);
}

QString Win32SerialDevice::applyControl(const SerialControl& control) {
    return applyDcb(settings_, control);
}

QByteArray Win32SerialDevice::readAll() {
    return worker_ ? worker_->takeReceived() : QByteArray();
}

qint64 Win32SerialDevice::bytesAvailable() const {
    return worker_ ? worker_->receivedSize() : 0;
}

QString Win32SerialDevice::write(const QByteArray& data) {
    if (!worker_) return QStringLiteral("Port is not open");
    if (worker_->send(data)) return {};
    return QStringLiteral("%1: the output queue is full (the peer does not take data)").arg(name_);
}

bool Win32SerialDevice::present(const QString& name) const {
    // The system's list of the serial ports there are: asked without opening anything.
    if (win32::serialPortListed(win32::systemWin32Calls(), name)) return true;
    // A port it does not list: a probe open without access rights. Wine knows a COM
    // port that was linked after the prefix started only when it is opened, and a port
    // that another program holds answers "access denied": it is there.
    const std::wstring path = name.toStdWString();
    HANDLE probe = CreateFileW(path.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        return true;
    }
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

void Win32SerialDevice::onDataNotified(quint64 generation) {
    if (generation != generation_ || !worker_) return;
    if (worker_->takeNotification() > 0) emit dataArrived();
}

void Win32SerialDevice::onWorkerFailed(quint64 generation, const QString& description) {
    if (generation != generation_ || !worker_) return;
    qWarning() << "COMM: device" << name_ << "lost:" << description;
    // What had arrived before the failure is offered first, so that it is not lost
    // with the port.
    if (worker_->receivedSize() > 0) emit dataArrived();
    if (generation != generation_) return;  // the reader closed or reopened the port
    close();
    emit deviceLost(description);
}

QString Win32SerialDevice::applyDcb(const SerialSettings& settings, const SerialControl& control) {
    if (!handle_) {
        settings_ = settings;
        control_ = control;
        return {};
    }
    if (QString refused = writeDcb(static_cast<HANDLE>(handle_), settings, control);
        !refused.isEmpty())
        return refused;
    // Kept only once the driver took them, so that a refused value is not sent along
    // with the next change of another one.
    settings_ = settings;
    control_ = control;
    return {};
}

}  // namespace kest::win32
