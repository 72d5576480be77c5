#pragma once
// A TCP socket component (the program has two: TCPIP and TCPIPLISTEN) on QTcpSocket
// and QTcpServer. One instance is either idle, a client connection, a listener, or a
// connection taken over from a listener with accept(). Failing calls throw
// ComponentError; asynchronous failures come out as errorOccurred with a description.

#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace kest {

class SocketComponent : public QObject {
    Q_OBJECT
  public:
    // What a connection holds for its reader at most; beyond it the system keeps the
    // data, and TCP's own flow control slows the sender while nobody reads.
    static constexpr qint64 kReadBufferBytes = qint64(1) << 20;

    // State values; callers test only closed and connected.
    static constexpr int kClosed = 0;
    static constexpr int kOpen = 1;
    static constexpr int kListening = 2;
    static constexpr int kResolvingHost = 4;
    static constexpr int kConnecting = 6;
    static constexpr int kConnected = 7;
    static constexpr int kClosing = 8;
    static constexpr int kError = 9;

    explicit SocketComponent(QString name, QObject* parent = nullptr);
    ~SocketComponent() override;

    void setLocalPort(qint32 port);
    QString localIP() const;
    // The port a listener really listens on (the one the system chose for port 0).
    quint16 listeningPort() const;
    int state() const;

    void connectTo(const QString& remoteHost, const QString& remotePortText);
    void listen();
    void accept(qintptr requestId);
    void sendData(const QByteArray& data);
    QByteArray getData();
    // Everything waiting for the connection, in the system's buffers too, with no
    // dataArrival for it: what a peer sent before it is dropped. At most maxBytes.
    QByteArray takeWaitingData(qsizetype maxBytes);
    void close();

  signals:
    void connected();
    void closed();  // the peer closed the connection
    void errorOccurred(const QString& description);
    void dataArrival(qint64 bytesWaiting);
    void connectionRequest(qintptr requestId);

  private:
    void adopt(QTcpSocket* socket);
    void onIncoming();
    void onDisconnected();
    void dropSocket();
    void dropServer();

    QString name_;
    QTcpSocket* socket_ = nullptr;
    QTcpServer* server_ = nullptr;
    qint32 localPort_ = 0;
    bool error_ = false;
    bool peerClosed_ = false;
    QString lastLoggedError_;
};

}  // namespace kest
