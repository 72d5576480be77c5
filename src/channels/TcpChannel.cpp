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
    if (server) {
        try {
            tcpip_.setLocalPort(wholeValue32(port_.toStdString()));
        } catch (const std::exception& e) {
            qDebug() << "TCP: port" << port_ << "not usable to listen:" << e.what();
        }
        lastListenError_.clear();
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
}

void TcpChannel::setPort(const QString& port) {
    if (port == port_) return;
    port_ = port;
    setStatus(kUnset);
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
    connect(&socket, &SocketComponent::connected, this, [this] {
        const QString tip = QStringLiteral("TCP CONNECTION OK");
        setStatus(kConnect, &tip);
    });
    connect(&socket, &SocketComponent::closed, this, [this] {
        const QString tip = QStringLiteral("TCP CONNECTION CLOSED");
        setStatus(QStringLiteral("CLOSE"), &tip);
    });
    connect(&socket, &SocketComponent::errorOccurred, this, [this](const QString& description) {
        setStatus(QStringLiteral("ERROR"), &description);
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
            if (why != lastConnectError_) qDebug() << "TCP: connect refused at once:" << why;
            lastConnectError_ = why;
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
        lastListenError_.clear();
    } catch (const ComponentError& e) {
        // Tried again at every tick; said once per distinct failure.
        const QString why = QString::fromStdString(e.what());
        if (why != lastListenError_) qDebug() << "TCP: listen failed:" << why;
        lastListenError_ = why;
    }
}

}  // namespace kest
