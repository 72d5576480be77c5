#include "app/RunningInstance.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <algorithm>

#include "platform/Foreground.h"

namespace kest {

namespace {

const QByteArray kShowRequest = "show";
const QByteArray kShownAnswer = "shown";
// A request is one short line; a peer that sends more is no copy of ours.
constexpr qint64 kMaxRequest = 64;
constexpr int kRetryMs = 100;

}  // namespace

RunningInstance::RunningInstance(const QString& configDirectory, QObject* parent)
    : QObject(parent), guard_(InstanceGuard::instanceKey(configDirectory)) {}

bool RunningInstance::claim() {
    if (!guard_.enter(true)) return false;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = guard_.channelName();
    if (!server_->listen(name)) {
        // A socket left behind by a copy that crashed: the guard says none runs now.
        QLocalServer::removeServer(name);
        if (!server_->listen(name))
            qWarning() << "a second start of this instance cannot reach it:"
                       << server_->errorString();
    }
    connect(server_, &QLocalServer::newConnection, this, &RunningInstance::answer);
    return true;
}

void RunningInstance::answer() {
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        connect(peer, &QLocalSocket::readyRead, peer, [this, peer] {
            if (!peer->canReadLine()) {
                if (peer->bytesAvailable() > kMaxRequest) peer->abort();
                return;
            }
            if (peer->readLine(kMaxRequest).trimmed() == kShowRequest) {
                if (showRequested) showRequested();
                peer->write(kShownAnswer + '\n');
                peer->flush();
            }
            peer->disconnectFromServer();
        });
    }
}

bool RunningInstance::askToShow(std::chrono::milliseconds deadline) {
    allowAnotherProgramToTakeTheForeground();
    QElapsedTimer clock;
    clock.start();
    const auto remaining = [&] {
        return int(std::max<qint64>(0, deadline.count() - clock.elapsed()));
    };
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(guard_.channelName());
        if (socket.waitForConnected(remaining())) {
            socket.write(kShowRequest + '\n');
            socket.waitForBytesWritten(remaining());
            while (!socket.canReadLine() && socket.bytesAvailable() <= kMaxRequest &&
                   socket.waitForReadyRead(remaining())) {
            }
            return socket.canReadLine() && socket.readLine(kMaxRequest).trimmed() == kShownAnswer;
        }
        // The running copy may not listen yet: it is starting up.
        if (remaining() <= kRetryMs) return false;
        QThread::msleep(kRetryMs);
    }
}

}  // namespace kest
