// The channel frames bound to their channels: what the user sees of each state.

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "engine/Pipeline.h"
#include "ui/Colours.h"
#include "ui/TroubleState.h"
#include "ui/WindowFixture.h"
#include "ui/WindowWidgets.h"

namespace kest::testing {
namespace {

using TcpBinding = WindowTest;

TEST_F(TcpBinding, AddressChangeShowsDashesAndResetActsInClientModeOnly) {
    window->INP_IP_TCP->setText("10.1.2.3");
    EXPECT_EQ(window->AFF_TCP_STATUS->text(), "-----");
    EXPECT_EQ(shownColour(window->AFF_TCP_STATUS), buttonFaceColour());
    QTest::mouseDClick(window->AFF_TCP_STATUS, Qt::LeftButton);
    EXPECT_EQ(window->AFF_TCP_STATUS->text(), "RESET");
    EXPECT_EQ(shownColour(window->AFF_TCP_STATUS), ROUGE());
    window->INP_IP_PORT->setText("0");
    window->SW_IP_CL_SE[1]->setChecked(true);
    EXPECT_FALSE(window->INP_IP_TCP->isEnabled());
    const QString before = window->AFF_TCP_STATUS->text();
    window->B_IP_RESET->click();
    EXPECT_EQ(window->AFF_TCP_STATUS->text(), before);
    window->SW_IP_CL_SE[0]->setChecked(true);
    EXPECT_TRUE(window->INP_IP_TCP->isEnabled());
    EXPECT_EQ(window->INP_IP_TCP->text(), "0.0.0.0");
    window->B_IP_RESET->click();
    EXPECT_EQ(window->AFF_TCP_STATUS->text(), "RESET");
}

using FileBinding = WindowTest;

TEST_F(FileBinding, PathDrivesTheToolTipsAndTheStatusWhichSaysWhyItFails) {
    window->INP_FILE_DIR->setText("   ");
    EXPECT_EQ(window->B_FILE_CHOSE->toolTip(), "   ");
    EXPECT_TRUE(waitFor([&] { return window->AFF_FILE_STATUS->text() == "-----"; }));
    // A DOS path: the tip says where C: lies here.
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
    QDir().mkpath(driveC + "data");
    ASSERT_TRUE(waitFor([&] { return window->AFF_FILE_STATUS->text() == "Not Found"; }));
    EXPECT_EQ(window->AFF_FILE_STATUS->toolTip(), "FILE STATUS");
    EXPECT_FALSE(window->trouble().any());

    window->INP_FILE_DIR->setText(home.path() + "/in*.txt");
    ASSERT_TRUE(waitFor([&] { return window->AFF_FILE_STATUS->text() == "Error"; }));
    EXPECT_TRUE(window->AFF_FILE_STATUS->toolTip().contains("wildcard"));
    QFile present(home.path() + "/present.txt");
    ASSERT_TRUE(present.open(QIODevice::WriteOnly));
    present.close();
    window->INP_FILE_DIR->setText(present.fileName());
    EXPECT_EQ(window->INP_FILE_DIR->toolTip(), present.fileName());  // a native path as it is
    EXPECT_TRUE(waitFor([&] { return window->AFF_FILE_STATUS->text() == "Present"; }));
    EXPECT_EQ(shownColour(window->AFF_FILE_STATUS), VERT());
}

using SerialBinding = WindowTest;

TEST_F(SerialBinding, BurstsArrivingWhileThePipelineIsFullAreDroppedAndSaidSo) {
    const auto listed = [&](const QString& line, Qt::MatchFlags how = Qt::MatchExactly) {
        return !window->LST_DEBUG->findItems(line, how).isEmpty();
    };
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
