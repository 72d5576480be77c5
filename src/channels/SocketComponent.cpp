#include "channels/SocketComponent.h"

#include <QDebug>
#include <QHash>
#include <QNetworkInterface>
#include <QPointer>
#include <QSignalBlocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "channels/ChannelTypes.h"
#include "engine/NumericValue.h"

namespace kest {

namespace {

// How long a closed connection may take to deliver what was still being sent.
constexpr int kLingerMs = 5000;

// Connections announced by a listener and not yet taken over, by request identifier.
// Everything runs on the one UI thread, so a plain table is enough; it only holds
// entries while connectionRequest is being delivered.
QHash<qintptr, QPointer<QTcpSocket>>& pendingRequests() {
    static QHash<qintptr, QPointer<QTcpSocket>> table;
    return table;
}

}  // namespace

SocketComponent::SocketComponent(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {}

SocketComponent::~SocketComponent() {
    dropSocket();
    dropServer();
}

void SocketComponent::setLocalPort(qint32 port) {
    if (port < 0 || port > 65535) throw ComponentError("Invalid local port");
    localPort_ = port;
}

QString SocketComponent::localIP() const {
    const auto addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
            return address.toString();
        }
    }
    return QStringLiteral("127.0.0.1");
}

quint16 SocketComponent::listeningPort() const {
    return server_ && server_->isListening() ? server_->serverPort() : 0;
}

int SocketComponent::state() const {
    if (error_) return kError;
    if (server_ && server_->isListening()) return kListening;
    if (!socket_) return kClosed;
    switch (socket_->state()) {
        case QAbstractSocket::UnconnectedState:
            return peerClosed_ ? kClosing : kClosed;
        case QAbstractSocket::HostLookupState:
            return kResolvingHost;
        case QAbstractSocket::ConnectingState:
            return kConnecting;
        case QAbstractSocket::ConnectedState:
            return kConnected;
        case QAbstractSocket::BoundState:
            return kOpen;
        case QAbstractSocket::ListeningState:
            return kListening;
        case QAbstractSocket::ClosingState:
            return kClosing;
    }
    return kClosed;
}

void SocketComponent::connectTo(const QString& remoteHost, const QString& remotePortText) {
    if (state() != kClosed) throw ComponentError("Wrong protocol or connection state");
    long long port = 0;
    try {
        port = wholeValue(remotePortText.toStdString(), 1, 65535);
    } catch (const NumericRangeError&) {
        throw ComponentError("Invalid remote port: " + remotePortText.toStdString());
    }
    if (port == 0) throw ComponentError("Invalid remote port: " + remotePortText.toStdString());
    auto* socket = new QTcpSocket(this);
    adopt(socket);
    socket->connectToHost(remoteHost.trimmed(), static_cast<quint16>(port));
}

void SocketComponent::listen() {
    if (server_ && server_->isListening()) throw ComponentError("Already listening");
    if (state() != kClosed) throw ComponentError("Wrong protocol or connection state");
    dropServer();
    server_ = new QTcpServer(this);
    if (!server_->listen(QHostAddress::Any, static_cast<quint16>(localPort_))) {
        const std::string why = server_->errorString().toStdString();
        dropServer();
        throw ComponentError(name_.toStdString() + ": cannot listen: " + why);
    }
    connect(server_, &QTcpServer::newConnection, this, &SocketComponent::onIncoming);
    connect(server_, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        if (server_) emit errorOccurred(server_->errorString());
    });
}

void SocketComponent::accept(qintptr requestId) {
    if (state() != kClosed) throw ComponentError("Wrong protocol or connection state");
    QPointer<QTcpSocket> socket = pendingRequests().take(requestId);
    if (!socket) throw ComponentError("No such connection request");
    socket->setParent(this);
    adopt(socket);
    // Data that came with the connection is announced like any later data.
    QMetaObject::invokeMethod(
        this,
        [this, socket] {
            if (socket && socket == socket_ && socket->bytesAvailable() > 0) {
                emit dataArrival(socket->bytesAvailable());
            }
        },
        Qt::QueuedConnection);
}

void SocketComponent::sendData(const QByteArray& data) {
    if (state() != kConnected) throw ComponentError("Socket is not connected");
    if (socket_->write(data) != data.size()) {
        throw ComponentError("Send failed: " + socket_->errorString().toStdString());
    }
}

QByteArray SocketComponent::getData() {
    return socket_ ? socket_->readAll() : QByteArray();
}

QByteArray SocketComponent::takeWaitingData(qsizetype maxBytes) {
    QByteArray data;
    if (!socket_) return data;
    const QSignalBlocker quiet(socket_);
    while (data.size() < maxBytes) {
        // Pulls what the system holds into the socket's own buffer, without waiting.
        while (socket_->bytesAvailable() < kReadBufferBytes && socket_->waitForReadyRead(0)) {
        }
        const QByteArray got = socket_->read(maxBytes - data.size());
        if (got.isEmpty()) break;
        data += got;
    }
    if (data.size() >= maxBytes)
        qWarning() << name_ << "peer replaced while still sending: kept its first" << maxBytes
                   << "bytes";
    return data;
}

void SocketComponent::close() {
    dropSocket();
    dropServer();
    error_ = false;
    peerClosed_ = false;
}

void SocketComponent::adopt(QTcpSocket* socket) {
    socket_ = socket;
    socket->setReadBufferSize(kReadBufferBytes);
    error_ = false;
    peerClosed_ = false;
    connect(socket, &QTcpSocket::connected, this, [this] {
        lastLoggedError_.clear();
        emit connected();
    });
    connect(socket, &QTcpSocket::disconnected, this, &SocketComponent::onDisconnected);
    connect(socket, &QTcpSocket::readyRead, this,
            [this, socket] { emit dataArrival(socket->bytesAvailable()); });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, socket](QAbstractSocket::SocketError error) {
                // The peer's close is reported by disconnected, as a close, not an error.
                if (error == QAbstractSocket::RemoteHostClosedError) return;
                error_ = true;
                // A client retrying a dead server gets the same error every few
                // seconds, for days: say it once until something else happens.
                if (socket->errorString() != lastLoggedError_) {
                    qDebug() << name_ << "socket error:" << socket->errorString();
                }
                lastLoggedError_ = socket->errorString();
                emit errorOccurred(socket->errorString());
            });
}

void SocketComponent::onIncoming() {
    while (server_ && server_->hasPendingConnections()) {
        QTcpSocket* socket = server_->nextPendingConnection();
        socket->setParent(nullptr);
        const qintptr id = socket->socketDescriptor();
        pendingRequests().insert(id, socket);
        emit connectionRequest(id);
        // Nobody took it: refuse it rather than keep an unserved peer waiting.
        if (QPointer<QTcpSocket> left = pendingRequests().take(id)) {
            left->abort();
            left->deleteLater();
        }
    }
}

void SocketComponent::onDisconnected() {
    if (!socket_ || sender() != socket_) return;
    // What the peer sent just before closing is delivered before the close.
    if (socket_->bytesAvailable() > 0) emit dataArrival(socket_->bytesAvailable());
    peerClosed_ = true;
    emit closed();
}

void SocketComponent::dropSocket() {
    if (!socket_) return;
    QTcpSocket* socket = socket_;
    socket_ = nullptr;
    socket->disconnect(this);
    // Let what was written still go out, then free the socket.
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
    } else {
        socket->setParent(nullptr);
        QTimer::singleShot(kLingerMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
    }
}

void SocketComponent::dropServer() {
    if (!server_) return;
    server_->close();
    server_->deleteLater();
    server_ = nullptr;
}

}  // namespace kest
