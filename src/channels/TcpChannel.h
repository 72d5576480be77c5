#pragma once
// The TCP channel: a client that keeps (re)connecting to the configured address and
// port, or a server that listens on the port and serves the latest peer. Received
// data is collected and handed over as one text once a whole 100 ms period passes
// without new data. The status text is the channel's state, as the window shows it.
//
// The setters are the controls' handlers; the window calls them on every change.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include "channels/ChannelTypes.h"
#include "channels/SocketComponent.h"

namespace kest {

class TcpChannel : public QObject {
    Q_OBJECT
  public:
    static constexpr int kRetryMs = 2000;
    static constexpr int kHandOverMs = 100;
    // A peer that never pauses must not grow the buffer without bound: a full buffer
    // is handed over at once, in pieces of exactly this size.
    static constexpr qsizetype kMaxBuffer = qsizetype(1) << 20;
    // What a replaced peer may still have waiting: the system's receive buffer and the
    // socket's own. A peer that keeps sending while it is read is cut there.
    static constexpr qsizetype kMaxDrain = qsizetype(8) << 20;

    explicit TcpChannel(QObject* parent = nullptr);

    void setServerRole(bool server);          // SW_IP_CL_SE_Click
    void setAddress(const QString& address);  // INP_IP_TCP_Change
    void setPort(const QString& port);        // INP_IP_PORT_Change
    void reset();                             // AFF_TCP_STATUS_DblClick, B_IP_RESET_Click
    void close();                             // program end: TCPIP, then TCPIPLISTEN
    // While paused nothing more is read: the data waits at the sender, which TCP's
    // flow control slows. Resuming reads what waited.
    void setReceivingPaused(bool paused);

    bool isServer() const { return server_; }
    QString address() const { return address_; }
    QString port() const { return port_; }
    QString status() const { return status_; }
    StatusRole statusRole() const { return role_; }
    QString toolTip() const { return toolTip_; }
    // Why the channel cannot do its part, with the socket's reason: the server cannot
    // listen, or the client's connection failed. Empty while it works, or while there
    // is nothing to do (no address), and after the address, port or role changed.
    QString failureReason() const { return failure_; }
    quint16 listeningPort() const { return tcpip_.listeningPort(); }
    // Received and not handed over yet.
    qsizetype pendingBytes() const { return buffer_.size(); }
    // Each of its ticks ends a hand-over period; a test stops it and ticks by hand.
    QTimer& handOverTimer() { return handOverTimer_; }

    // What the send-back macro needs; the sends throw ComponentError.
    int clientState() const { return tcpip_.state(); }
    int listenState() const { return tcpipListen_.state(); }
    void clientSend(const QByteArray& data) { tcpip_.sendData(data); }
    void listenSend(const QByteArray& data) { tcpipListen_.sendData(data); }

  signals:
    void statusChanged(const QString& text, kest::StatusRole role, const QString& toolTip);
    // The role switch writes the address field and enables or disables it.
    void addressFieldChanged(const QString& text, bool enabled);
    void textReceived(const QByteArray& text);
    void failureChanged(const QString& reason);

  private:
    void wire(SocketComponent& socket);
    void retryTick();
    void handOverTick();
    void receiveFrom(SocketComponent& socket);
    void receive(const QByteArray& data);
    void onConnectionRequest(qintptr requestId);
    void writeAddressField(const QString& text, bool enabled);
    void setStatus(const QString& text, const QString* toolTip = nullptr);
    void listenIgnoringErrors();
    void setFailure(const QString& reason);
    QString connectFailure(const QString& why) const;

    SocketComponent tcpip_{QStringLiteral("TCPIP")};
    SocketComponent tcpipListen_{QStringLiteral("TCPIPLISTEN")};
    QTimer retryTimer_;     // TIM_IP
    QTimer handOverTimer_;  // TIM_TX_TCP
    QByteArray buffer_;
    qsizetype snapshotSize_ = 0;
    bool server_ = false;
    bool paused_ = false;
    QString address_ = QStringLiteral("0.0.0.0");
    QString port_ = QStringLiteral("1024");
    QString status_ = QStringLiteral("CLOSE");
    QString toolTip_ = QStringLiteral("TCP CONNECTION STATUS");
    StatusRole role_ = StatusRole::Ordinary;
    QString listenPort_;  // the port of the last role switch to server
    QString failure_;
};

}  // namespace kest
