// The lock rule, the save with its failure mark, and the load into real controls.

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTest>

#include "ui/Colours.h"
#include "ui/TroubleState.h"
#include "ui/WindowFixture.h"
#include "ui/WindowWidgets.h"

namespace kest::testing {
namespace {

using LockRuleTest = WindowTest;

// Which texts are codes is the lock rule's own test; here, what the window does.
TEST_F(LockRuleTest, ACodeOpensTheWholePanelAnythingElseLocksAndSavesEndEnds) {
    QDir().mkpath(configDir());
    const struct {
        const char* text;
        bool unlocked;
    } steps[] = {{"open.the.pane", false}, {"open.the.panel", true}, {"x", false},
                 {"UNLOCK CFG", true},     {"UNLOCK CFG ", false},   {"end", false}};
    for (const auto& step : steps) {
        QFile::remove(configDir() + "/GENERAL.CFG");
        window->INP_PASS->setText(step.text);
        EXPECT_EQ(window->FR_MAIN->isVisibleTo(window.get()), step.unlocked) << step.text;
        // Unlocking never saves; each lock does.
        EXPECT_EQ(QFile::exists(configDir() + "/GENERAL.CFG"), !step.unlocked) << step.text;
        EXPECT_EQ(shownColour(window->INP_PASS), step.unlocked ? VERT() : windowBackgroundColour())
            << step.text;
        // The outer height counts the title bar: unlocked it holds the whole panel,
        // locked none of it.
        if (step.unlocked)
            EXPECT_GT(window->requestedOuterHeight(), window->FR_MAIN->geometry().bottom());
        else
            EXPECT_LT(window->requestedOuterHeight(), window->FR_MAIN->y()) << step.text;
        EXPECT_EQ(endRequests, step.text == std::string("end") ? 1 : 0) << step.text;
    }
}

// Only a move of the focus into the field, or a click into it, empties it and locks.
TEST_F(LockRuleTest, FocusOrAClickIntoTheFieldLocksTheWindowGettingTheFocusBackDoesNot) {
    window->INP_PASS->setText("OPEN.THE.PANEL");
    EXPECT_EQ(window->INP_PASS->displayText(), QString(14, '*'));
    QFocusEvent windowBack(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(window->INP_PASS, &windowBack);
    EXPECT_TRUE(window->FR_MAIN->isVisibleTo(window.get()));
    QFocusEvent clickedInto(QEvent::FocusIn, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(window->INP_PASS, &clickedInto);
    EXPECT_TRUE(window->INP_PASS->text().isEmpty());
    EXPECT_FALSE(window->FR_MAIN->isVisibleTo(window.get()));

    // A click while the field kept the focus since the code was typed.
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->INP_PASS->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(window->INP_PASS, "open.the.panel");
    ASSERT_TRUE(window->FR_MAIN->isVisibleTo(window.get()));
    ASSERT_TRUE(window->INP_PASS->hasFocus());
    QTest::mouseClick(window->INP_PASS, Qt::LeftButton);
    EXPECT_TRUE(window->INP_PASS->text().isEmpty());
    EXPECT_FALSE(window->FR_MAIN->isVisibleTo(window.get()));
}

using SaveTest = WindowTest;

TEST_F(SaveTest, FailedSaveMarksTheButtonUntilTheNextGoodOneWhichWritesTheControlsExactly) {
    // No configuration directory: the save cannot write.
    EXPECT_FALSE(window->B_SAVE_Click());
    EXPECT_EQ(shownColour(window->B_SAVE), ROUGE());
    EXPECT_FALSE(window->B_SAVE->toolTip().isEmpty());
    EXPECT_EQ(window->trouble().reason(Trouble::Save), window->B_SAVE->toolTip());

    QDir().mkpath(configDir());
    window->INP_INPUT->setText("é ");
    window->INP_OUTPUT->setText("{ASCII:13}");
    window->B_ADD->click();
    window->INP_REMOVE_CAR->setText("13");
    window->B_ADD_REMOVE_CAR->click();
    window->INP_PREFIX->setText("<");
    window->INP_IP_TCP->setText(" 10.0.0.5 ");
    window->SW_RTS->setChecked(false);
    window->B_SAVE->click();
    EXPECT_EQ(shownColour(window->B_SAVE), saveButtonColour());
    EXPECT_FALSE(window->trouble().any());
    EXPECT_EQ(readConfig("TOUCHE_INP.CFG"), QByteArray("\xE9 \r\n"));
    EXPECT_EQ(readConfig("TOUCHE_OUT.CFG"), "{ASCII:13}\r\n");
    EXPECT_EQ(readConfig("TOUCHE_REM.CFG"), "0\r\n13\r\n");
    EXPECT_EQ(readConfig("GENERAL.CFG"),
              ".2\r\n9600,N,8,1\r\n 0 \r\n<\r\n\r\n\r\n 0 \r\n 1 \r\nNone\r\n 0 \r\n"
              "10.0.0.5\r\n1024\r\nFalse\r\n");
}

using LoadTest = WindowTest;

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

TEST_F(LoadTest, HandWrittenFilesRunEachControlsHandler) {
    const QByteArray port = QByteArray::number(freePort());
    writeConfig("TOUCHE_INP.CFG", "\xE9\r\n 5 \r\n");
    writeConfig("TOUCHE_OUT.CFG", "x\r\n5{ENTER}\r\n");
    writeConfig("TOUCHE_REM.CFG", "250\r\n013\r\n");
    writeConfig("GENERAL.CFG",
                "9\r\n19200,E,7,1\r\n 1 \r\n<\r\n>\r\nNotepad\r\n 0 \r\n 2 \r\nrts\r\n"
                " 1 \r\n 127.0.0.1 \r\n" +
                    port + "\r\nTrue\r\n");
    window->Frame3->fillHandshakingItems();
    window->LOAD_CFG();
    EXPECT_EQ(window->LST_TOUCHES[0]->item(0)->text(), QString::fromUtf8("é"));
    EXPECT_EQ(window->LST_TOUCHES[0]->item(1)->text(), " 5 ");
    EXPECT_EQ(window->LST_TOUCHES[1]->item(1)->text(), "5{ENTER}");
    EXPECT_EQ(window->LST_REMOVE_CAR->item(0)->text(), "13");
    EXPECT_EQ(window->INP_COMMPORT->text(), "250");
    // No device behind COM250: the reopen fails and the field shows it.
    EXPECT_EQ(shownColour(window->INP_COMMPORT), ROUGE());
    EXPECT_EQ(window->INP_COM_CFG->text(), "19200,E,7,1");
    EXPECT_EQ(window->INP_DELAY->text(), ".2");
    EXPECT_TRUE(window->SW_UPPER->isChecked());
    EXPECT_FALSE(window->SW_API_KB->isChecked());  // line 10 came after line 3
    EXPECT_FALSE(window->SW_API_KB->isEnabled());
    EXPECT_FALSE(window->SW_RTS->isChecked());
    EXPECT_EQ(window->SW_DTR->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(window->LST_HANDSHAKING->currentText(), "None");
    EXPECT_TRUE(window->SW_IP_CL_SE[1]->isChecked());
    EXPECT_FALSE(window->INP_IP_TCP->isEnabled());
    EXPECT_EQ(window->INP_IP_PORT->text(), QString::fromLatin1(port));
    EXPECT_EQ(window->tcpChannel->listeningPort(), port.toUShort());
    EXPECT_EQ(window->INP_PREFIX->text(), "<");
    EXPECT_EQ(window->INP_TARGET_WIN->text(), "Notepad");
}

using ColourTest = WindowTest;

// The colour holders must reach the screen, not only the palette.
TEST_F(ColourTest, FailedPortIsPaintedRed) {
    window->INP_PASS->setText("OPEN.THE.PANEL");
    window->INP_COMMPORT->setText("COM3");
    window->show();
    ASSERT_EQ(shownColour(window->INP_COMMPORT), ROUGE());
    const QImage image = window->INP_COMMPORT->grab().toImage();
    EXPECT_EQ(image.pixelColor(image.width() - 4, image.height() / 2), ROUGE());
    const QImage pass = window->INP_PASS->grab().toImage();
    EXPECT_EQ(pass.pixelColor(pass.width() - 4, pass.height() / 2), VERT());
}

}  // namespace
}  // namespace kest::testing
