#include "ChannelTestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>

namespace kest::test {

QCoreApplication& qtApp() {
    static int argc = 1;
    static char name[] = "channel-tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    qtApp();
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

void runEventsFor(int ms) {
    qtApp();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents,
                                        static_cast<int>(ms - timer.elapsed()));
    }
}

PtyPair::PtyPair(const QString& base, int comNumber)
    : comLink_(base + QStringLiteral("/dosdevices/com") + QString::number(comNumber)),
      deviceLink_(base + QStringLiteral("/device") + QString::number(comNumber)) {
    QDir().mkpath(base + QStringLiteral("/dosdevices"));
}

PtyPair::~PtyPair() {
    stop();
}

bool PtyPair::start() {
    stop();
    socat_ = std::make_unique<QProcess>();
    socat_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    socat_->start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=") + comLink_,
                                            QStringLiteral("pty,raw,echo=0,link=") + deviceLink_});
    if (!socat_->waitForStarted(5000)) return false;
    const bool linked = waitUntil(
        [this] { return QFileInfo::exists(comLink_) && QFileInfo::exists(deviceLink_); }, 5000);
    if (!linked) return false;
    deviceFd_ = ::open(QFile::encodeName(deviceLink_).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    return deviceFd_ >= 0;
}

void PtyPair::stop() {
    closeDevice();
    if (!socat_) return;
    socat_->terminate();
    if (!socat_->waitForFinished(5000)) socat_->kill();
    socat_->waitForFinished(5000);
    socat_.reset();
    // socat removes its links when it ends; make sure they are gone either way.
    QFile::remove(comLink_);
    QFile::remove(deviceLink_);
}

bool PtyPair::writeDevice(const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(deviceFd_, data.constData() + done, data.size() - done);
        if (n < 0 && errno != EAGAIN) return false;
        if (n > 0) done += n;
        if (n <= 0) QThread::msleep(1);
    }
    return true;
}

QByteArray PtyPair::readDevice(int timeoutMs) {
    QByteArray result;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        // The program's writes leave through its event loop, so let it run.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        pollfd p{deviceFd_, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0) continue;
        char chunk[4096];
        const ssize_t n = ::read(deviceFd_, chunk, sizeof chunk);
        if (n > 0) result.append(chunk, n);
        if (!result.isEmpty()) break;
    }
    return result;
}

void PtyPair::closeDevice() {
    if (deviceFd_ >= 0) ::close(deviceFd_);
    deviceFd_ = -1;
}

}  // namespace kest::test
