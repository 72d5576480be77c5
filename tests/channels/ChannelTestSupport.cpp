#include "ChannelTestSupport.h"

#include <QEventLoop>

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

bool PtyPair::start() {
    stop();
    try {
        device_ = std::make_unique<e2e::SerialDevice>(base_, number_);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool PtyPair::writeDevice(const QByteArray& data) {
    try {
        device_->send(data.toStdString());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

QByteArray PtyPair::readDevice(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        // The program's writes leave through its event loop, so let it run.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const std::string got = device_->receive(1, std::chrono::milliseconds(10));
        if (!got.empty()) return QByteArray::fromStdString(got);
    }
    return {};
}

QString PtyPair::comLink() const {
    return QString::fromStdString(device_ ? device_->portLink()
                                          : base_ + "/dosdevices/com" + std::to_string(number_));
}

}  // namespace kest::test
