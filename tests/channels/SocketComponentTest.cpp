// The state values and events that the send-back macro and the TCP channel rely on.

#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>

#include "ChannelTestSupport.h"
#include "channels/ChannelTypes.h"
#include "channels/SocketComponent.h"

namespace kest {
namespace {

using test::waitUntil;

TEST(SocketComponent, ClientStatesFromClosedToConnectedToPeerClosed) {
    test::QtAppFirst app;
    SocketComponent tcpip("TCPIP");
    EXPECT_EQ(tcpip.state(), SocketComponent::kClosed);
    EXPECT_NO_THROW(tcpip.close());  // harmless when closed
    EXPECT_THROW(tcpip.connectTo("127.0.0.1", "0"), ComponentError);
    EXPECT_THROW(tcpip.connectTo("127.0.0.1", "70000"), ComponentError);
    EXPECT_EQ(tcpip.state(), SocketComponent::kClosed);

    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
    int connects = 0, closes = 0;
    QObject::connect(&tcpip, &SocketComponent::connected, [&] { ++connects; });
    QObject::connect(&tcpip, &SocketComponent::closed, [&] { ++closes; });
    tcpip.connectTo("127.0.0.1", " " + QString::number(peer.serverPort()) + " ");
    EXPECT_THROW(tcpip.connectTo("127.0.0.1", "1"), ComponentError);  // not closed
    ASSERT_TRUE(waitUntil([&] { return tcpip.state() == SocketComponent::kConnected; }, 10000));
    EXPECT_EQ(connects, 1);
    ASSERT_TRUE(waitUntil([&] { return peer.hasPendingConnections(); }, 10000));
    QTcpSocket* other = peer.nextPendingConnection();
    other->write("bye");
    other->disconnectFromHost();
    ASSERT_TRUE(waitUntil([&] { return closes == 1; }, 10000));
    // Closed by the peer: neither closed nor connected until the program closes it.
    EXPECT_EQ(tcpip.getData(), "bye");
    EXPECT_EQ(tcpip.state(), SocketComponent::kClosing);
    EXPECT_THROW(tcpip.sendData("x"), ComponentError);
    tcpip.close();
    EXPECT_EQ(tcpip.state(), SocketComponent::kClosed);
}

TEST(SocketComponent, AListenerClosesRequestsNobodyAccepts) {
    test::QtAppFirst app;
    SocketComponent tcpip("TCPIP");
    SocketComponent listen("TCPIPLISTEN");
    tcpip.setLocalPort(0);
    EXPECT_THROW(tcpip.setLocalPort(70000), ComponentError);
    tcpip.listen();
    EXPECT_EQ(tcpip.state(), SocketComponent::kListening);
    EXPECT_THROW(tcpip.listen(), ComponentError);        // already listening
    EXPECT_THROW(listen.accept(12345), ComponentError);  // no such request
    QTcpSocket refused;  // nobody takes this request: it is closed, not left waiting
    refused.connectToHost(QHostAddress::LocalHost, tcpip.listeningPort());
    ASSERT_TRUE(
        waitUntil([&] { return refused.state() == QAbstractSocket::UnconnectedState; }, 10000));
    EXPECT_EQ(tcpip.state(), SocketComponent::kListening);
}

}  // namespace
}  // namespace kest
