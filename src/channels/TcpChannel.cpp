#include "channels/TcpChannel.h"

#include <QDebug>

#include "engine/NumericValue.h"

namespace kest {

namespace {

const QString kConnect = QStringLiteral("CONNECT");
const QString kUnset = QStringLiteral("-----");

StatusRole roleOf(const QString& status) {
    if (status == kConnect) return StatusRole::Success;
    if (status == kUnset) return StatusRole::Neutral;
    return StatusRole::Failure;
}

}  // namespace

TcpChannel::TcpChannel(QObject* parent) : QObject(parent) {
    wire(tcpip_);
    wire(tcpipListen_);
    connect(&tcpip_, &SocketComponent::connectionRequest, this, &TcpChannel::onConnectionRequest);
    retryTimer_.setInterval(kRetryMs);
    connect(&retryTimer_, &QTimer::timeout, this, &TcpChannel::retryTick);
    handOverTimer_.setInterval(kHandOverMs);
    // A coarse timer may run 5 % late, which would push a hand-over past 200 ms.
    handOverTimer_.setTimerType(Qt::PreciseTimer);
    connect(&handOverTimer_, &QTimer::timeout, this, &TcpChannel::handOverTick);
    retryTimer_.start();
    handOverTimer_.start();
}

void TcpChannel::setServerRole(bool server) {
    server_ = server;
    tcpip_.close();
    setFailure(QString());
    if (server) {
        try {
            tcpip_.setLocalPort(wholeValue32(port_.toStdString()));
        } catch (const std::exception& e) {
            qDebug() << "TCP: port" << port_ << "not usable to listen:" << e.what();
        }
        listenPort_ = port_;
        listenIgnoringErrors();
        writeAddressField(tcpip_.localIP(), false);
    } else {
        tcpip_.setLocalPort(0);
        writeAddressField(QStringLiteral("0.0.0.0"), true);
    }
}

void TcpChannel::setAddress(const QString& address) {
    if (address == address_) return;
    address_ = address;
    setStatus(kUnset);
    if (!server_) setFailure(QString());  // the next attempt tells
}

void TcpChannel::setPort(const QString& port) {
    if (port == port_) return;
    port_ = port;
    setStatus(kUnset);
    if (!server_) setFailure(QString());
}

void TcpChannel::reset() {
    if (!server_) setStatus(QStringLiteral("RESET"));
}

void TcpChannel::close() {
    tcpip_.close();
    tcpipListen_.close();
}

void TcpChannel::setReceivingPaused(bool paused) {
    if (paused == paused_) return;
    paused_ = paused;
    if (paused_) return;
    // No new data may come to announce what waited in the meantime.
    receiveFrom(tcpip_);
    receiveFrom(tcpipListen_);
}

void TcpChannel::wire(SocketComponent& socket) {
    connect(&socket, &SocketComponent::connected, this, [this, &socket] {
        const QString tip = QStringLiteral("TCP CONNECTION OK");
        setStatus(kConnect, &tip);
        if (&socket == &tcpip_) setFailure(QString());
    });
    connect(&socket, &SocketComponent::closed, this, [this] {
        const QString tip = QStringLiteral("TCP CONNECTION CLOSED");
        setStatus(QStringLiteral("CLOSE"), &tip);
    });
    connect(&socket, &SocketComponent::errorOccurred, this,
            [this, &socket](const QString& description) {
                setStatus(QStringLiteral("ERROR"), &description);
                // A served peer that goes wrong is the peer's matter: the server goes on.
                if (&socket == &tcpip_)
                    setFailure(server_ ? description : connectFailure(description));
            });
    connect(&socket, &SocketComponent::dataArrival, this,
            [this, &socket](qint64) { receiveFrom(socket); });
}

void TcpChannel::retryTick() {
    if (server_) {
        listenIgnoringErrors();
        return;
    }
    QString significant = address_;
    significant.remove(QLatin1Char('.')).remove(QLatin1Char('0'));
    if (significant.trimmed().isEmpty()) return;
    if (status_ == kConnect) return;
    if (tcpip_.state() == SocketComponent::kClosed) {
        try {
            tcpip_.connectTo(address_, port_);
        } catch (const ComponentError& e) {
            const QString why = QString::fromStdString(e.what());
            setStatus(QStringLiteral("TRY:Connect"), &why);
            setFailure(connectFailure(why));
            return;
        }
        setStatus(QStringLiteral("TRY:Connect"));
    } else {
        tcpip_.close();
        setStatus(QStringLiteral("TRY:Close"));
    }
}

void TcpChannel::handOverTick() {
    if (buffer_.isEmpty()) return;
    // Data is only ever appended between two hand-overs, so "differs from the
    // snapshot" is "has grown since": the size says it without copying the buffer.
    if (buffer_.size() != snapshotSize_) {
        snapshotSize_ = buffer_.size();
        return;
    }
    // Taken before the call: data that arrives while the receiver runs the event loop
    // belongs to the next hand-over.
    QByteArray text;
    text.swap(buffer_);
    snapshotSize_ = 0;
    emit textReceived(text);
}

void TcpChannel::receiveFrom(SocketComponent& socket) {
    // A receiver that runs the pipeline does so inside this handler, and the socket
    // announces no more data until the handler returns; with its buffer full it reads
    // nothing more either. So what came in meanwhile is read here, until none is left.
    while (!paused_) {
        const QByteArray data = socket.getData();
        if (data.isEmpty()) return;
        receive(data);
    }
}

void TcpChannel::receive(const QByteArray& data) {
    buffer_ += data;
    while (buffer_.size() >= kMaxBuffer) {
        QByteArray piece = buffer_.left(kMaxBuffer);
        buffer_.remove(0, kMaxBuffer);
        // Still arriving: the rest waits for a quiet period like any other data.
        snapshotSize_ = -1;
        emit textReceived(piece);
    }
}

void TcpChannel::onConnectionRequest(qintptr requestId) {
    if (tcpipListen_.state() != SocketComponent::kClosed) {
        // What the replaced peer sent and was not read yet is handed over with the
        // rest of its data; a paused channel takes it too, once, rather than lose it.
        receive(tcpipListen_.takeWaitingData(kMaxDrain));
        tcpipListen_.close();
    }
    try {
        tcpipListen_.accept(requestId);
    } catch (const ComponentError& e) {
        qDebug() << "TCP: accept of request" << requestId << "failed:" << e.what();
    }
    setStatus(kConnect);
}

void TcpChannel::writeAddressField(const QString& text, bool enabled) {
    if (text != address_) {
        address_ = text;
        setStatus(kUnset);
    }
    emit addressFieldChanged(text, enabled);
}

void TcpChannel::setStatus(const QString& text, const QString* toolTip) {
    const bool tipChanged = toolTip && *toolTip != toolTip_;
    const bool textChanged = text != status_ || role_ == StatusRole::Ordinary;
    if (toolTip) toolTip_ = *toolTip;
    status_ = text;
    role_ = roleOf(text);
    if (textChanged || tipChanged) emit statusChanged(status_, role_, toolTip_);
}

void TcpChannel::listenIgnoringErrors() {
    if (tcpip_.state() == SocketComponent::kListening) return;  // the error it would give
    try {
        tcpip_.listen();
    } catch (const ComponentError& e) {
        // Tried again at every tick: the status keeps its text, its tip says why.
        const QString why = QStringLiteral("listening on port %1 failed: %2")
                                .arg(listenPort_, QString::fromStdString(e.what()));
        setStatus(status_, &why);
        setFailure(why);
        return;
    }
    if (!failure_.isEmpty()) {
        const QString tip = QStringLiteral("TCP CONNECTION STATUS");
        setStatus(status_, &tip);
    }
    setFailure(QString());
}

QString TcpChannel::connectFailure(const QString& why) const {
    return QStringLiteral("connecting to %1:%2 failed: %3").arg(address_.trimmed(), port_, why);
}

void TcpChannel::setFailure(const QString& reason) {
    if (reason == failure_) return;
    failure_ = reason;
    emit failureChanged(failure_);
}

}  // namespace kest
