// The window's channels feeding its pipeline: texts from all channels are typed one at
// a time and whole, each channel's in the order it sent them, even though typing lets
// other events (and channels) run meanwhile; a flood is read no faster than it is typed.
// And the channel frames bound to their channels: what the user sees of each state.

#include <unistd.h>
#include <QTcpSocket>
#include <algorithm>
#include <regex>

#include "ui/WindowFixture.h"

namespace kest::testing {
namespace {

TEST_F(WindowTest, TextsFromAllChannelsAreTypedOneAtATimeWholeAndInOrder) {
    window->ownWindowFocused = [] { return false; };
    // Each text is typed between "<" and ">": a text typed inside another shows.
    window->INP_PREFIX->setText("<");
    window->INP_SUFFIX->setText(">");
    const Pty serial = openPty();
    linkCom(3, serial.device);
    window->INP_COMMPORT->setText("3");
    ASSERT_TRUE(window->COMM->isOpen());
    // The window as a server on a free port, with a peer connected to it.
    window->INP_IP_PORT->setText("0");
    window->SW_IP_CL_SE[1]->setChecked(true);
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, window->tcpChannel->listeningPort());
    ASSERT_TRUE(waitFor([&] { return window->tcpChannel->status() == "CONNECT"; }));
    const QString watched = home.path() + "/in.txt";
    window->INP_FILE_DIR->setText(watched);

    // Each channel its own letters: serial, TCP, file. All of them arrive at once, and
    // more while the first are typed.
    const std::array<std::string, 3> sent = {"abcdefgh", "ijklmnop", "qrstuvwxyz"};
    QFile file(watched);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("qrs\r\ntuv\r\nwxyz\r\n");
    file.close();
    ASSERT_EQ(::write(serial.master, "abcd", 4), 4);
    peer.write("ijkl");
    QTimer::singleShot(150, window.get(), [&] { EXPECT_EQ(::write(serial.master, "efgh", 4), 4); });
    QTimer::singleShot(250, window.get(), [&] { peer.write("mnop"); });

    const auto isLetter = [](char c) { return c >= 'a' && c <= 'z'; };
    std::string all;
    EXPECT_TRUE(waitFor(
        [&] {
            all = keyboard.typedText();
            std::erase_if(all, [](char c) { return c == '\r' || c == '\n'; });
            return std::count_if(all.begin(), all.end(), isLetter) == 26;
        },
        30000))
        << all;
    // Every piece between "<" and ">" is of one channel.
    EXPECT_TRUE(std::regex_match(all, std::regex("(<([a-h]+|[i-p]+|[q-z]+)>)*"))) << all;
    std::array<std::string, 3> typed;
    for (char c : all)
        if (isLetter(c)) typed[c < 'i' ? 0 : c < 'q' ? 1 : 2] += c;
    EXPECT_EQ(typed, sent);
}

// While a text is typed, the flood's full buffers are handed over (from the socket's own
// handler, so even while other handlers run): they must wait their turn, in order, and
// the window must stop reading the flood once the pipeline is full, not fill the memory.
TEST_F(WindowTest, AFloodWhileATextIsTypedArrivesWholeInOrderWithTheQueueBounded) {
    window->ownWindowFocused = [] { return false; };
    // The filler is removed; the numbers between it are typed. The target window is
    // activated before each text, which lets events run: texts come far faster than
    // they are typed.
    window->LST_REMOVE_CAR->addItem("120");
    window->INP_TARGET_WIN->setText("Receiver");
    window->INP_IP_PORT->setText("0");
    window->SW_IP_CL_SE[1]->setChecked(true);
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, window->tcpChannel->listeningPort());
    ASSERT_TRUE(waitFor([&] { return window->tcpChannel->status() == "CONNECT"; }));
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

// What the channel decides is its own test; here, the controls that drive and show it.
TEST_F(WindowTest, TheStatusShowsTheChannelAndTheRoleAndBothResetControlsDriveIt) {
    QTest::mouseDClick(window->AFF_TCP_STATUS, Qt::LeftButton);
    EXPECT_EQ(window->AFF_TCP_STATUS->text(), "RESET");
    EXPECT_EQ(shownColour(window->AFF_TCP_STATUS), ROUGE());
    window->SW_IP_CL_SE[1]->setChecked(true);
    window->SW_IP_CL_SE[0]->setChecked(true);
    EXPECT_TRUE(window->INP_IP_TCP->isEnabled());
    window->INP_IP_TCP->setText("10.1.2.3");
    EXPECT_EQ(window->AFF_TCP_STATUS->text(), "-----");
    window->B_IP_RESET->click();
    EXPECT_EQ(window->AFF_TCP_STATUS->text(), "RESET");
}

// Why a path fails is the file channel's; the window shows it and says where C: lies.
TEST_F(WindowTest, PathDrivesTheToolTipsAndTheStatusWhichSaysWhyItFails) {
    const QString driveC = home.path() + "/kest-redirect/drive_c/";
    window->INP_FILE_DIR->setText("C:\\data\\in.txt");
    const QString tip = "C:\\data\\in.txt\nC:\\ is " + driveC + " on this system: this file is " +
                        driveC + "data/in.txt";
    EXPECT_EQ(window->INP_FILE_DIR->toolTip(), tip);
    EXPECT_EQ(window->B_FILE_CHOSE->toolTip(), tip);
    ASSERT_TRUE(waitFor([&] { return window->AFF_FILE_STATUS->text() == "Error"; }));
    const QString why = "the folder " + driveC + "data does not exist";
    EXPECT_EQ(window->AFF_FILE_STATUS->toolTip(), "FILE STATUS: " + why);
    EXPECT_EQ(shownColour(window->AFF_FILE_STATUS), ROUGE());
    EXPECT_EQ(window->trouble().reason(Trouble::File), why);

    QFile present(home.path() + "/present.txt");
    ASSERT_TRUE(present.open(QIODevice::WriteOnly));
    present.close();
    window->INP_FILE_DIR->setText(present.fileName());
    EXPECT_EQ(window->INP_FILE_DIR->toolTip(), present.fileName());  // a native path as it is
    EXPECT_TRUE(waitFor([&] { return window->AFF_FILE_STATUS->text() == "Present"; }));
    EXPECT_EQ(shownColour(window->AFF_FILE_STATUS), VERT());
    EXPECT_EQ(window->AFF_FILE_STATUS->toolTip(), "FILE STATUS");
    EXPECT_FALSE(window->trouble().has(Trouble::File));
}

TEST_F(WindowTest, BurstsArrivingWhileThePipelineIsFullAreDroppedAndSaidSo) {
    window->LST_REMOVE_CAR->addItem("120");  // the filler texts type nothing
    const QByteArray quarter(qsizetype(PipelineRunner::kMaxQueuedBytes / 4), 'x');
    bool droppingSaid = false;
    // Runs while the first text is being typed, as data arriving meanwhile would.
    QTimer::singleShot(0, window.get(), [&] {
        for (int i = 0; i < 4; ++i) window->processData(quarter);
        ASSERT_TRUE(window->runner().full());
        emit window->COMM->textReceived("lost");
        droppingSaid = listed("Serial backlog over 16 MiB: received data dropped");
    });
    window->processData("y");
    ASSERT_TRUE(waitFor([&] { return !window->runner().busy(); }));
    EXPECT_TRUE(droppingSaid);
    EXPECT_FALSE(listed("lost"));
    // Texts that arrive while another is typed wait their turn; they are no waits for
    // refused keys, and the list does not show them (nor lays out megabytes of text).
    EXPECT_FALSE(listed("WAITING", Qt::MatchStartsWith));
    emit window->COMM->textReceived("kept");  // room again
    EXPECT_TRUE(listed("kept"));
}

}  // namespace
}  // namespace kest::testing
