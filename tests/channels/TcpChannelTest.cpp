#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>

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
        QObject::connect(&channel_, &TcpChannel::addressFieldChanged, &channel_,
                         [this](const QString& t, bool e) {
                             fields_ << std::pair{t, e};
                         });
    }

    // A client of the channel, connected to a peer server of the test's own.
    QTcpSocket* connectClientToPeer() {
        EXPECT_TRUE(peer_.listen(QHostAddress::LocalHost, 0));
        channel_.setAddress("127.0.0.1");
        channel_.setPort(QString::number(peer_.serverPort()));
        if (!waitUntil([this] { return channel_.status() == "CONNECT"; }, 10000)) return nullptr;
        if (!waitUntil([this] { return peer_.hasPendingConnections(); }, 10000)) return nullptr;
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
        return waitStatus("CONNECT", 10000);
    }

    bool waitStatus(const QString& text, int ms) {
        return waitUntil([&] { return channel_.status() == text; }, ms);
    }

    // Ends one hand-over period, as the channel's own timer does.
    void tick() { ASSERT_TRUE(QMetaObject::invokeMethod(&channel_.handOverTimer(), "timeout")); }

    bool waitPending(qsizetype bytes) {
        return waitUntil([&] { return channel_.pendingBytes() == bytes; }, 10000);
    }

    test::QtAppFirst app_;  // before any QObject member
    TcpChannel channel_;
    QTcpServer peer_;
    test::Received received_;
    StatusLog log_;
    QList<std::pair<QString, bool>> fields_;  // what the role switch writes to the address
};

TEST_F(TcpChannelTest, AClientHandsOverWhatArrivesOnceAWholePeriodPassesWithoutNewData) {
    EXPECT_THROW(channel_.clientSend("x"), ComponentError);
    QTcpSocket* peer = connectClientToPeer();
    ASSERT_TRUE(peer);
    EXPECT_EQ(channel_.statusRole(), StatusRole::Success);
    EXPECT_EQ(channel_.toolTip(), "TCP CONNECTION OK");
    EXPECT_EQ(channel_.clientState(), 7);
    channel_.handOverTimer().stop();  // the test says when a period ends
    peer->write("ab");
    ASSERT_TRUE(waitPending(2));
    tick();  // data came during this period: it waits for the next
    peer->write(QByteArray("c\0\xff", 3));
    ASSERT_TRUE(waitPending(5));
    tick();
    EXPECT_TRUE(received_.texts.isEmpty()) << "handed over while data was still coming";
    tick();  // a whole period without new data
    EXPECT_EQ(received_.texts, QList<QByteArray>{QByteArray("abc\0\xff", 5)});
    tick();
    EXPECT_EQ(received_.texts.size(), 1);

    channel_.clientSend(QByteArray("OK\0\xff", 4));
    ASSERT_TRUE(waitUntil([peer] { return peer->bytesAvailable() >= 4; }, 10000));
    EXPECT_EQ(peer->readAll(), QByteArray("OK\0\xff", 4));
    EXPECT_THROW(channel_.listenSend("x"), ComponentError);
}

TEST_F(TcpChannelTest, NoAddressIsNeverTriedAndAnUnreachableServerIsRetriedInFourSteps) {
    channel_.setAddress("0.0.0.0");  // the default: no change, no status
    EXPECT_EQ(channel_.status(), "CLOSE");
    EXPECT_EQ(channel_.statusRole(), StatusRole::Ordinary);
    channel_.setAddress("000");
    test::runEventsFor(TcpChannel::kRetryMs + 300);
    EXPECT_EQ(log_.texts, QStringList{"-----"});
    EXPECT_EQ(channel_.clientState(), 0);

    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QString port = QString::number(closed.serverPort());
    closed.close();
    channel_.setAddress("127.0.0.1");
    channel_.setPort(port);
    ASSERT_TRUE(waitUntil([this] { return log_.texts.count("TRY:Connect") == 2; }, 40000));
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
    ASSERT_TRUE(waitUntil([this] { return channel_.failureReason().isEmpty(); }, 20000));
    EXPECT_EQ(channel_.listeningPort(), port.toUShort());
    EXPECT_EQ(channel_.toolTip(), "TCP CONNECTION STATUS");
}

TEST_F(TcpChannelTest, PeerCloseThenReconnectAndResetCycle) {
    QTcpSocket* peer = connectClientToPeer();
    ASSERT_TRUE(peer);
    peer->write("bye");
    peer->disconnectFromHost();
    ASSERT_TRUE(waitStatus("CLOSE", 10000));
    EXPECT_EQ(channel_.toolTip(), "TCP CONNECTION CLOSED");
    EXPECT_EQ(channel_.statusRole(), StatusRole::Failure);
    ASSERT_TRUE(waitUntil([this] { return received_.joined() == "bye"; }, 10000));
    ASSERT_TRUE(waitStatus("CONNECT", 30000));
    ASSERT_TRUE(waitUntil([this] { return peer_.hasPendingConnections(); }, 10000));
    QTcpSocket* second = peer_.nextPendingConnection();

    log_.texts.clear();
    channel_.reset();
    EXPECT_EQ(channel_.status(), "RESET");
    ASSERT_TRUE(waitStatus("CONNECT", 30000));
    EXPECT_EQ(log_.texts, (QStringList{"RESET", "TRY:Close", "TRY:Connect", "CONNECT"}));
    ASSERT_TRUE(
        waitUntil([second] { return second->state() != QAbstractSocket::ConnectedState; }, 10000));
}

TEST_F(TcpChannelTest, AServerServesTheLatestPeerAndKeepsItAcrossRoleSwitches) {
    QTcpSocket* client = connectClientToPeer();
    ASSERT_TRUE(client);
    const quint16 port = serve();
    ASSERT_NE(port, 0);
    ASSERT_TRUE(  // the switch closes the client connection
        waitUntil([client] { return client->state() == QAbstractSocket::UnconnectedState; },
                  10000));
    ASSERT_EQ(fields_.size(), 1);
    EXPECT_FALSE(fields_[0].second);
    EXPECT_EQ(channel_.address(), fields_[0].first);
    EXPECT_EQ(channel_.clientState(), 2);  // listening: neither closed nor connected

    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitStatus("CONNECT", 10000));
    first.write("one");
    ASSERT_TRUE(waitUntil([this] { return received_.joined() == "one"; }, 10000));

    // Paused, so that the first peer's data is still unread when the second one comes.
    channel_.setReceivingPaused(true);
    first.write("old");
    first.waitForBytesWritten(10000);
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(
        waitUntil([&first] { return first.state() == QAbstractSocket::UnconnectedState; }, 10000));
    channel_.setReceivingPaused(false);
    second.write(QByteArray("tw\0o", 4));
    ASSERT_TRUE(
        waitUntil([this] { return received_.joined() == QByteArray("oneoldtw\0o", 10); }, 10000))
        << received_.joined().toHex().constData();
    EXPECT_EQ(channel_.listenState(), 7);
    EXPECT_EQ(channel_.clientState(), 2);  // still listening
    channel_.listenSend("BACK");
    ASSERT_TRUE(waitUntil([&second] { return second.bytesAvailable() >= 4; }, 10000));
    EXPECT_EQ(second.readAll(), "BACK");

    channel_.reset();  // does nothing for a server
    EXPECT_EQ(channel_.status(), "CONNECT");
    channel_.setServerRole(false);  // the accepted peer stays
    EXPECT_EQ(fields_.last(), (std::pair<QString, bool>{"0.0.0.0", true}));
    EXPECT_EQ(channel_.status(), "-----");
    second.write("kept");
    ASSERT_TRUE(waitUntil([this] { return received_.joined().endsWith("kept"); }, 10000));
    EXPECT_EQ(channel_.listenState(), 7);
    second.disconnectFromHost();
    ASSERT_TRUE(waitStatus("CLOSE", 10000));
}

TEST_F(TcpChannelTest, WhilePausedDataWaitsAtTheSenderThenArrivesWholeInOrderInBoundedPieces) {
    QTcpSocket sender;
    ASSERT_TRUE(servePeer(sender));
    channel_.setReceivingPaused(true);
    QByteArray data(40 * 1000 * 1000, '\0');
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    sender.write(data);
    test::runEventsFor(1500);
    EXPECT_GT(sender.bytesToWrite(), 0) << "the sender was not held back";
    EXPECT_TRUE(received_.texts.isEmpty());
    channel_.setReceivingPaused(false);
    ASSERT_TRUE(waitUntil(
        [&] {
            qsizetype total = 0;
            for (const auto& t : received_.texts) total += t.size();
            return total >= data.size();
        },
        120000));
    for (const auto& t : received_.texts) EXPECT_LE(t.size(), TcpChannel::kMaxBuffer);
    EXPECT_GE(received_.texts.size(), 10);
    EXPECT_TRUE(received_.joined() == data);
}

}  // namespace
}  // namespace kest
