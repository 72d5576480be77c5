#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "ChannelTestSupport.h"
#include "channels/TcpChannel.h"

namespace kest {
namespace {

using test::waitUntil;

struct StatusLog {
    QStringList texts;
    QList<StatusRole> roles;
    QStringList tips;
};

class TcpChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::qtApp();
        QObject::connect(&channel_, &TcpChannel::textReceived, &channel_,
                         [this](const QByteArray& t) { received_.add(t); });
        QObject::connect(&channel_, &TcpChannel::statusChanged, &channel_,
                         [this](const QString& text, StatusRole role, const QString& tip) {
                             log_.texts << text;
                             log_.roles << role;
                             log_.tips << tip;
                         });
    }

    // A client of the channel, connected to a peer server of the test's own.
    QTcpSocket* connectClientToPeer() {
        EXPECT_TRUE(peer_.listen(QHostAddress::LocalHost, 0));
        channel_.setAddress("127.0.0.1");
        channel_.setPort(QString::number(peer_.serverPort()));
        if (!waitUntil([this] { return channel_.status() == "CONNECT"; }, 5000)) return nullptr;
        if (!waitUntil([this] { return peer_.hasPendingConnections(); }, 3000)) return nullptr;
        return peer_.nextPendingConnection();
    }

    quint16 serve() {
        channel_.setPort("0");  // the system picks the port
        channel_.setServerRole(true);
        return channel_.listeningPort();
    }

    // The channel serving, and the peer connected to it.
    bool servePeer(QTcpSocket& peer) {
        peer.connectToHost(QHostAddress::LocalHost, serve());
        return waitStatus("CONNECT", 3000);
    }

    bool waitStatus(const QString& text, int ms) {
        return waitUntil([&] { return channel_.status() == text; }, ms);
    }

    test::QtAppFirst app_;  // before any QObject member
    TcpChannel channel_;
    QTcpServer peer_;
    test::Received received_;
    StatusLog log_;
};

TEST_F(TcpChannelTest, ClientHandsOverAQuietBlockOnceAfterAtLeastOneTick) {
    QTcpSocket* peer = connectClientToPeer();
    ASSERT_TRUE(peer);
    EXPECT_EQ(channel_.statusRole(), StatusRole::Success);
    EXPECT_EQ(channel_.toolTip(), "TCP CONNECTION OK");
    EXPECT_EQ(channel_.clientState(), 7);
    const qint64 sentAt = received_.clock.elapsed();
    peer->write("ABC");
    ASSERT_TRUE(waitUntil([this] { return !received_.texts.isEmpty(); }, 3000));
    test::runEventsFor(300);
    EXPECT_EQ(received_.texts, QList<QByteArray>{"ABC"});
    // Handed over only after a whole tick without new data.
    EXPECT_GE(received_.atMs[0] - sentAt, 90);
}

TEST_F(TcpChannelTest, BytesArrivingFasterThanTheTickAreOneText) {
    QTcpSocket* peer = connectClientToPeer();
    ASSERT_TRUE(peer);
    int sent = 0;
    QTimer pacer;
    QObject::connect(&pacer, &QTimer::timeout, [&] {
        peer->write(QByteArray(1, char('a' + sent)));
        if (++sent == 15) pacer.stop();
    });
    pacer.start(30);
    ASSERT_TRUE(waitUntil([this] { return !received_.texts.isEmpty(); }, 5000));
    test::runEventsFor(300);
    EXPECT_EQ(received_.texts, QList<QByteArray>{"abcdefghijklmno"});
}

TEST_F(TcpChannelTest, UnreachableServerIsRetriedInTheFourStepCycle) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QString port = QString::number(closed.serverPort());
    closed.close();
    channel_.setAddress("127.0.0.1");
    channel_.setPort(port);
    ASSERT_TRUE(waitUntil([this] { return log_.texts.count("TRY:Connect") == 2; }, 9000));
    const QStringList expected{"-----", "TRY:Connect", "ERROR", "TRY:Close", "TRY:Connect"};
    EXPECT_EQ(log_.texts.mid(0, 5), expected);
    EXPECT_EQ(log_.roles[0], StatusRole::Neutral);
    EXPECT_EQ(log_.roles[2], StatusRole::Failure);
    EXPECT_FALSE(log_.tips[2].isEmpty());
    EXPECT_NE(log_.tips[2], "TCP CONNECTION STATUS");
    EXPECT_EQ(channel_.failureReason(),
              "connecting to 127.0.0.1:" + port + " failed: " + log_.tips[2]);
    channel_.setAddress("127.0.0.2");  // a new address: the next attempt tells
    EXPECT_EQ(channel_.failureReason(), "");
}

TEST_F(TcpChannelTest, AServerThatCannotListenSaysWhyUntilThePortIsFree) {
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::Any, 0));
    const QString port = QString::number(holder.serverPort());
    channel_.setPort(port);
    channel_.setServerRole(true);
    const QString why = channel_.failureReason();
    EXPECT_TRUE(why.startsWith("listening on port " + port + " failed: ")) << why.toStdString();
    EXPECT_TRUE(why.contains("in use")) << why.toStdString();
    EXPECT_EQ(channel_.toolTip(), why);
    EXPECT_NE(channel_.status(), "ERROR");  // the status texts stay as they were
    holder.close();
    ASSERT_TRUE(waitUntil([this] { return channel_.failureReason().isEmpty(); }, 6000));
    EXPECT_EQ(channel_.listeningPort(), port.toUShort());
    EXPECT_EQ(channel_.toolTip(), "TCP CONNECTION STATUS");
}

TEST_F(TcpChannelTest, AnAllZeroAddressNeverConnects) {
    channel_.setAddress("0.0.0.0");  // the default: no change, no status
    EXPECT_EQ(channel_.status(), "CLOSE");
    EXPECT_EQ(channel_.statusRole(), StatusRole::Ordinary);
    channel_.setAddress("000");
    EXPECT_EQ(channel_.status(), "-----");
    test::runEventsFor(2300);
    EXPECT_EQ(log_.texts, QStringList{"-----"});
    EXPECT_EQ(channel_.clientState(), 0);
}

TEST_F(TcpChannelTest, PeerCloseThenReconnectAndResetCycle) {
    QTcpSocket* peer = connectClientToPeer();
    ASSERT_TRUE(peer);
    peer->write("bye");
    peer->disconnectFromHost();
    ASSERT_TRUE(waitStatus("CLOSE", 3000));
    EXPECT_EQ(channel_.toolTip(), "TCP CONNECTION CLOSED");
    EXPECT_EQ(channel_.statusRole(), StatusRole::Failure);
    ASSERT_TRUE(waitUntil([this] { return received_.joined() == "bye"; }, 3000));
    ASSERT_TRUE(waitStatus("CONNECT", 7000));
    ASSERT_TRUE(waitUntil([this] { return peer_.hasPendingConnections(); }, 3000));
    QTcpSocket* second = peer_.nextPendingConnection();

    log_.texts.clear();
    channel_.reset();
    EXPECT_EQ(channel_.status(), "RESET");
    ASSERT_TRUE(waitStatus("CONNECT", 7000));
    EXPECT_EQ(log_.texts, (QStringList{"RESET", "TRY:Close", "TRY:Connect", "CONNECT"}));
    ASSERT_TRUE(
        waitUntil([second] { return second->state() != QAbstractSocket::ConnectedState; }, 3000));
}

TEST_F(TcpChannelTest, SendBackGoesOutOnTheConnectedClient) {
    EXPECT_THROW(channel_.clientSend("x"), ComponentError);
    QTcpSocket* peer = connectClientToPeer();
    ASSERT_TRUE(peer);
    channel_.clientSend(QByteArray("OK\0\xff", 4));
    ASSERT_TRUE(waitUntil([peer] { return peer->bytesAvailable() >= 4; }, 3000));
    EXPECT_EQ(peer->readAll(), QByteArray("OK\0\xff", 4));
    EXPECT_THROW(channel_.listenSend("x"), ComponentError);
}

TEST_F(TcpChannelTest, ServerServesTheLatestPeerOnly) {
    QList<std::pair<QString, bool>> fields;
    QObject::connect(&channel_, &TcpChannel::addressFieldChanged, &channel_,
                     [&fields](const QString& t, bool e) {
                         fields << std::pair{t, e};
                     });
    const quint16 port = serve();
    ASSERT_NE(port, 0);
    ASSERT_EQ(fields.size(), 1);
    EXPECT_FALSE(fields[0].second);
    EXPECT_EQ(channel_.address(), fields[0].first);
    EXPECT_EQ(channel_.clientState(), 2);  // listening: neither closed nor connected

    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitStatus("CONNECT", 3000));
    first.write("one");
    ASSERT_TRUE(waitUntil([this] { return received_.joined() == "one"; }, 3000));

    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(
        waitUntil([&first] { return first.state() == QAbstractSocket::UnconnectedState; }, 3000));
    second.write(QByteArray("tw\0o", 4));
    ASSERT_TRUE(waitUntil([this] { return received_.texts.size() == 2; }, 3000));
    EXPECT_EQ(received_.texts[1], QByteArray("tw\0o", 4));
    EXPECT_EQ(channel_.listenState(), 7);
    channel_.listenSend("BACK");
    ASSERT_TRUE(waitUntil([&second] { return second.bytesAvailable() >= 4; }, 3000));
    EXPECT_EQ(second.readAll(), "BACK");

    channel_.reset();  // does nothing for a server
    EXPECT_EQ(channel_.status(), "CONNECT");
    second.disconnectFromHost();
    ASSERT_TRUE(waitStatus("CLOSE", 3000));
}

TEST_F(TcpChannelTest, TenMegabytesArriveWholeInOrderInBoundedPieces) {
    QTcpSocket sender;
    ASSERT_TRUE(servePeer(sender));
    QByteArray data(10 * 1000 * 1000, '\0');
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    sender.write(data);
    qsizetype total = 0;
    ASSERT_TRUE(waitUntil(
        [&] {
            total = 0;
            for (const auto& t : received_.texts) total += t.size();
            return total >= data.size();
        },
        30000));
    for (const auto& t : received_.texts) EXPECT_LE(t.size(), TcpChannel::kMaxBuffer);
    EXPECT_GE(received_.texts.size(), 10);
    EXPECT_TRUE(received_.joined() == data);
}

TEST_F(TcpChannelTest, RoleSwitchesCloseTheClientButKeepAnAcceptedPeer) {
    QTcpSocket* peer = connectClientToPeer();
    ASSERT_TRUE(peer);
    QList<std::pair<QString, bool>> fields;
    QObject::connect(&channel_, &TcpChannel::addressFieldChanged, &channel_,
                     [&fields](const QString& t, bool e) {
                         fields << std::pair{t, e};
                     });
    channel_.setPort("0");
    channel_.setServerRole(true);
    ASSERT_TRUE(
        waitUntil([peer] { return peer->state() == QAbstractSocket::UnconnectedState; }, 3000));
    QTcpSocket accepted;
    accepted.connectToHost(QHostAddress::LocalHost, channel_.listeningPort());
    ASSERT_TRUE(waitStatus("CONNECT", 3000));
    channel_.setServerRole(false);
    EXPECT_EQ(fields.last(), (std::pair<QString, bool>{"0.0.0.0", true}));
    EXPECT_EQ(channel_.status(), "-----");
    accepted.write("kept");
    ASSERT_TRUE(waitUntil([this] { return received_.joined() == "kept"; }, 3000));
    EXPECT_EQ(channel_.listenState(), 7);
}

TEST_F(TcpChannelTest, WhilePausedTheDataWaitsAtTheSenderAndArrivesWholeOnResume) {
    QTcpSocket sender;
    ASSERT_TRUE(servePeer(sender));
    channel_.setReceivingPaused(true);
    QByteArray data(40 * 1000 * 1000, '\0');
    for (qsizetype i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i % 253);
    sender.write(data);
    test::runEventsFor(1500);
    EXPECT_GT(sender.bytesToWrite(), 0) << "the sender was not held back";
    EXPECT_TRUE(received_.texts.isEmpty());
    channel_.setReceivingPaused(false);
    ASSERT_TRUE(waitUntil([&] { return received_.joined().size() >= data.size(); }, 30000));
    EXPECT_TRUE(received_.joined() == data);
}

TEST_F(TcpChannelTest, AReplacedPeersUnreadDataIsHandedOver) {
    QTcpSocket first;
    ASSERT_TRUE(servePeer(first));
    // Paused, so that the first peer's data is still unread when the second one comes.
    channel_.setReceivingPaused(true);
    first.write("old");
    first.waitForBytesWritten(1000);
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, channel_.listeningPort());
    ASSERT_TRUE(
        waitUntil([&first] { return first.state() == QAbstractSocket::UnconnectedState; }, 3000));
    channel_.setReceivingPaused(false);
    second.write("new");
    ASSERT_TRUE(waitUntil([this] { return received_.joined() == "oldnew"; }, 3000))
        << received_.joined().constData();
}

}  // namespace
}  // namespace kest
