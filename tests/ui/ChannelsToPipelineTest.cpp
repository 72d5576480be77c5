// The window's channels feeding its pipeline: texts from all channels are typed one at
// a time and whole, each channel's in the order it sent them, even though typing lets
// other events (and channels) run meanwhile; a flood is read no faster than it is typed.

#include <pty.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTcpSocket>
#include <QTimer>
#include <array>

#include "channels/SerialChannel.h"
#include "channels/TcpChannel.h"
#include "ui/WindowFixture.h"

namespace kest::testing {
namespace {

class ChannelsToPipeline : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        window->ownWindowFocused = [] { return false; };
    }
    // The window as a server on a free port, with a peer connected to it.
    void connectPeer() {
        window->INP_IP_PORT->setText("0");
        window->SW_IP_CL_SE[1]->setChecked(true);
        peer.connectToHost(QHostAddress::LocalHost, window->tcpChannel->listeningPort());
        ASSERT_TRUE(waitFor([&] { return window->tcpChannel->status() == "CONNECT"; }));
    }
    QTcpSocket peer;
};

TEST_F(ChannelsToPipeline, TextsFromAllChannelsAreTypedOneAtATimeWholeAndInOrder) {
    // Each text is typed between "<" and ">": a text typed inside another shows.
    window->INP_PREFIX->setText("<");
    window->INP_SUFFIX->setText(">");
    int master = -1, slave = -1;
    char device[256] = {};
    ASSERT_EQ(openpty(&master, &slave, device, nullptr, nullptr), 0);
    const QString devices = home.path() + "/kest-redirect/dosdevices";
    ASSERT_TRUE(QDir().mkpath(devices));
    ASSERT_TRUE(QFile::link(QString::fromLocal8Bit(device), devices + "/com3"));
    window->INP_COMMPORT->setText("3");
    ASSERT_TRUE(window->COMM->isOpen());
    ASSERT_NO_FATAL_FAILURE(connectPeer());
    const QString watched = home.path() + "/in.txt";
    window->INP_FILE_DIR->setText(watched);

    // Each channel its own letters: serial, TCP, file. All of them arrive at once, and
    // more while the first are typed.
    const std::array<std::string, 3> sent = {"abcdefgh", "ijklmnop", "qrstuvwxyz"};
    QFile file(watched);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("qrs\r\ntuv\r\nwxyz\r\n");
    file.close();
    ASSERT_EQ(::write(master, "abcd", 4), 4);
    peer.write("ijkl");
    QTimer::singleShot(150, window.get(), [&] { EXPECT_EQ(::write(master, "efgh", 4), 4); });
    QTimer::singleShot(250, window.get(), [&] { peer.write("mnop"); });

    std::array<std::string, 3> typed;
    const auto parse = [&] {
        typed = {};
        const std::string all = keyboard.typedText();
        for (std::size_t at = 0; at < all.size();) {
            const std::size_t end = all.find('>', at);
            if (all[at] != '<' || end == std::string::npos) return false;
            std::string body = all.substr(at + 1, end - at - 1);
            std::erase_if(body, [](char c) { return c == '\r' || c == '\n'; });
            at = end + 1;
            for (std::size_t k = 0; k < sent.size() && !body.empty(); ++k) {
                if (sent[k].find(body.front()) == std::string::npos) continue;
                EXPECT_EQ(body.find_first_not_of(sent[k]), std::string::npos) << all;
                typed[k] += body;
            }
        }
        return typed[0].size() + typed[1].size() + typed[2].size() == 26;
    };
    EXPECT_TRUE(waitFor(parse, 30000)) << keyboard.typedText();
    EXPECT_EQ(typed, sent);
    window->COMM->close();
    ::close(slave);
    ::close(master);
}

// While a text is typed, the flood's full buffers are handed over (from the socket's own
// handler, so even while other handlers run): they must wait their turn, in order, and
// the flood must stop being read once the pipeline is full, not fill the memory.
TEST_F(ChannelsToPipeline, AFloodWhileATextIsTypedArrivesWholeInOrderWithTheQueueBounded) {
    // The filler is removed; the numbers between it are typed. The target window is
    // activated before each text, which lets events run for a while: texts come far
    // faster than they are typed.
    window->LST_REMOVE_CAR->addItem("120");
    window->INP_TARGET_WIN->setText("Receiver");
    ASSERT_NO_FATAL_FAILURE(connectPeer());
    std::size_t mostQueued = 0;
    QObject::connect(window->tcpChannel, &TcpChannel::textReceived, window.get(),
                     [&] { mostQueued = std::max(mostQueued, window->runner().queuedBytes()); });
    QByteArray data, numbers = "go";
    for (int block = 0; data.size() < 40 * 1000 * 1000; ++block) {
        const QByteArray number = QByteArray::number(block) + ',';
        data += QByteArray(4096 - number.size(), 'x') + number;
        numbers += number;
    }
    peer.write(data);
    window->processData("go");  // from another channel, while the flood comes
    std::string shown;
    ASSERT_TRUE(waitFor(
        [&] {
            shown = keyboard.typedText();
            return shown.size() >= std::size_t(numbers.size());
        },
        60000))
        << shown.size() << " of " << numbers.size() << " characters typed";
    EXPECT_TRUE(shown == numbers.toStdString());
    EXPECT_LE(mostQueued, PipelineRunner::kMaxQueuedBytes + 2 * TcpChannel::kMaxBuffer);
}

}  // namespace
}  // namespace kest::testing
