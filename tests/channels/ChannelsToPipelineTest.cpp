// The channels feeding one PipelineRunner, as the main window wires them: texts from
// all channels reach PROCESS_DATA one at a time and whole, in the order they were
// handed over, even though typing lets other events (and channels) run meanwhile.

#include <gtest/gtest.h>

#include <QFile>
#include <QTcpSocket>
#include <QTimer>

#include "ChannelTestSupport.h"
#include "channels/FileChannel.h"
#include "channels/SerialChannel.h"
#include "channels/TcpChannel.h"
#include "engine/Pipeline.h"
#include "support/FakeClock.h"
#include "support/RecordingPipelineHost.h"

namespace kest {
namespace {

TEST(ChannelsToPipeline, TextsFromAllChannelsAreRunOneAtATimeInArrivalOrder) {
    test::QtAppFirst app;
    test::ConfigHome home;
    test::PtyPair pty(home.base(), 3);
    ASSERT_TRUE(pty.start());

    test::RecordingPipelineHost host;
    host.delay = "0";
    test::FakeClock clock;
    Pipeline pipeline(host, clock);
    PipelineRunner runner(pipeline);
    // Typing a piece lets the program's events run for a while, as the real host does.
    host.onEvents = [] { test::runEventsFor(120); };

    SerialChannel serial;
    TcpChannel tcp;
    FileChannel file;
    QList<QByteArray> handedOver;
    auto submit = [&](const QByteArray& text) {
        handedOver << text;
        runner.submit(text.toStdString());
    };
    QObject::connect(&serial, &SerialChannel::textReceived, submit);
    QObject::connect(&tcp, &TcpChannel::textReceived, submit);
    QObject::connect(&file, &FileChannel::textReceived, submit);
    serial.setPortText("3");
    ASSERT_TRUE(serial.isOpen());
    tcp.setPort("0");
    tcp.setServerRole(true);
    const QString watched = home.path() + "/in.txt";
    file.setPath(watched);

    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, tcp.listeningPort());
    ASSERT_TRUE(test::waitUntil([&] { return tcp.status() == "CONNECT"; }, 3000));
    {
        QFile f(watched);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("file-1\r\nfile-2\r\nfile-3\r\n");
    }
    ASSERT_TRUE(pty.writeDevice("serial-1"));
    peer.write("tcp-1");
    QTimer::singleShot(150, [&] { pty.writeDevice("serial-2"); });
    QTimer::singleShot(250, [&] { peer.write("tcp-2"); });

    ASSERT_TRUE(test::waitUntil(
        [&] { return handedOver.size() == 7 && !runner.busy() && runner.pending() == 0; }, 15000));
    QList<QByteArray> typed;
    for (const std::string& k : host.keys()) typed << QByteArray::fromStdString(k);
    EXPECT_EQ(typed, handedOver);
    EXPECT_EQ(handedOver.count("serial-1"), 1);
    EXPECT_EQ(handedOver.count("serial-2"), 1);
    EXPECT_EQ(handedOver.count("tcp-1"), 1);
    EXPECT_EQ(handedOver.count("tcp-2"), 1);
    EXPECT_LT(handedOver.indexOf("file-1\r"), handedOver.indexOf("file-2\r"));
    EXPECT_LT(handedOver.indexOf("file-2\r"), handedOver.indexOf("file-3\r"));
}

TEST(ChannelsToPipeline, AFloodFasterThanTypingArrivesWholeInOrderWithTheQueueBounded) {
    test::QtAppFirst app;
    test::RecordingPipelineHost host;
    host.delay = "0";
    test::FakeClock clock;
    Pipeline pipeline(host, clock);
    PipelineRunner runner(pipeline);
    host.onEvents = [] { QCoreApplication::processEvents(); };
    TcpChannel tcp;
    runner.onFullChanged([&](bool full) { tcp.setReceivingPaused(full); });
    std::size_t mostQueued = 0;
    QObject::connect(&tcp, &TcpChannel::textReceived, [&](const QByteArray& text) {
        runner.submit(text.toStdString());
        mostQueued = std::max(mostQueued, runner.queuedBytes());
    });
    tcp.setPort("0");
    tcp.setServerRole(true);
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, tcp.listeningPort());
    ASSERT_TRUE(test::waitUntil([&] { return tcp.status() == "CONNECT"; }, 3000));
    QByteArray data(40 * 1000 * 1000, '\0');
    for (qsizetype i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 26);
    peer.write(data);
    qsizetype typed = 0;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            typed = 0;
            for (const std::string& k : host.keys()) typed += qsizetype(k.size());
            return typed >= data.size();
        },
        60000))
        << typed << " bytes typed";
    QByteArray all;
    for (const std::string& k : host.keys()) all += QByteArray::fromStdString(k);
    EXPECT_TRUE(all == data);
    EXPECT_LE(mostQueued, PipelineRunner::kMaxQueuedBytes + 2 * TcpChannel::kMaxBuffer);
}

}  // namespace
}  // namespace kest
