// The start-up with the instance guard, the lock rule, the save with its failure mark,
// and the load into real controls.

#include <QFocusEvent>
#include <QTcpServer>

#include "app/StartUp.h"
#include "platform/InstanceGuard.h"
#include "ui/UrlLink.h"
#include "ui/WindowFixture.h"

namespace kest::testing {
namespace {

// Which texts are codes is the lock rule's own test; here, what the window does.
TEST_F(WindowTest, ACodeOpensTheWholePanelAnythingElseLocksAndSavesEndEnds) {
    QDir().mkpath(configDir());
    const struct {
        const char* text;
        bool unlocked;
    } steps[] = {{"open.the.panel", true}, {"x", false}, {"UNLOCK CFG", true}, {"end", false}};
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
TEST_F(WindowTest, FocusOrAClickIntoTheFieldLocksTheWindowGettingTheFocusBackDoesNot) {
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

// Files as a user's editor leaves them run each control's handler on load, and the
// save writes the controls back exactly (every value a different one, so that a control
// read or set in another's place shows). A failed save marks the button until a good one.
TEST_F(WindowTest, LoadRunsEachHandlerAndTheSaveWritesTheControlsBackExactly) {
    EXPECT_FALSE(window->B_SAVE_Click());  // no configuration directory yet
    EXPECT_EQ(shownColour(window->B_SAVE), ROUGE());
    EXPECT_FALSE(window->B_SAVE->toolTip().isEmpty());
    EXPECT_EQ(window->trouble().reason(Trouble::Save), window->B_SAVE->toolTip());

    QTcpServer probe;  // for a free port
    probe.listen(QHostAddress::LocalHost, 0);
    const QByteArray port = QByteArray::number(probe.serverPort());
    probe.close();
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
    // No device behind COM250: the reopen fails and the field shows it.
    EXPECT_EQ(shownColour(window->INP_COMMPORT), ROUGE());
    EXPECT_FALSE(window->SW_API_KB->isEnabled());  // the upper-case box greys it
    EXPECT_FALSE(window->INP_IP_TCP->isEnabled());
    EXPECT_EQ(window->tcpChannel->listeningPort(), port.toUShort());

    window->B_SAVE->click();
    EXPECT_EQ(shownColour(window->B_SAVE), saveButtonColour());
    EXPECT_FALSE(window->trouble().has(Trouble::Save));
    EXPECT_EQ(readConfig("TOUCHE_INP.CFG"), "\xE9\r\n 5 \r\n");
    EXPECT_EQ(readConfig("TOUCHE_OUT.CFG"), "x\r\n5{ENTER}\r\n");
    EXPECT_EQ(readConfig("TOUCHE_REM.CFG"), "250\r\n13\r\n");
    // The upper-case box (line 10) cleared the API box (line 3) on load; the server
    // shows this machine's address in the address field.
    EXPECT_EQ(readConfig("GENERAL.CFG"),
              ".2\r\n19200,E,7,1\r\n 0 \r\n<\r\n>\r\nNotepad\r\n 0 \r\n 2 \r\nNone\r\n 1 \r\n" +
                  window->INP_IP_TCP->text().toLatin1() + "\r\n" + port + "\r\nTrue\r\n");
}

// Form_Load's order and effects with the instance guard.
class StartUpTest : public WindowTest {
  protected:
    bool start(const QStringList& arguments) {
        guard = std::make_unique<InstanceGuard>(home.path() + "/kest-redirect/instances.lock");
        startUp = std::make_unique<StartUp>(*window, arguments, *guard);
        return startUp->Form_Load();
    }
    void TearDown() override {
        startUp.reset();
        WindowTest::TearDown();
        guard.reset();
    }
    std::unique_ptr<InstanceGuard> guard;
    std::unique_ptr<StartUp> startUp;
};

TEST_F(StartUpTest, FirstStartShowsHelpBeforeLoadingThenWritesEveryFile) {
    // The help opens before the load: the configuration directory is still empty then.
    window->openHelp = [this](int tag) {
        helpOpened.push_back(tag);
        EXPECT_FALSE(QFile::exists(configDir() + "/GENERAL.CFG"));
        EXPECT_TRUE(QFileInfo(configDir()).isDir());
    };
    ASSERT_TRUE(start({}));
    EXPECT_EQ(helpOpened, std::vector<int>{0});
    EXPECT_TRUE(window->AFF_INSTANCE->isHidden());
    EXPECT_FALSE(window->FR_MAIN->isVisibleTo(window.get()));  // locked
    for (const char* name : {"TOUCHE_INP.CFG", "TOUCHE_OUT.CFG", "TOUCHE_REM.CFG", "GENERAL.CFG"})
        EXPECT_TRUE(QFile::exists(configDir() + "/" + name)) << name;
    EXPECT_NE(window->tray, nullptr);
}

TEST_F(StartUpTest, NamedInstanceHasItsOwnDirectoryCaptionNoHelpWhenConfiguredAndKeepsItsRules) {
    writeConfig("TOUCHE_INP.CFG", "5\r\n", "_Scanner 1");
    writeConfig("TOUCHE_OUT.CFG", "5{ENTER}\r\n", "_Scanner 1");
    writeConfig("TOUCHE_REM.CFG", "abc\r\n13\r\n", "_Scanner 1");
    ASSERT_TRUE(start({"run", "/#", "Scanner", "1", "#", "more"}));
    EXPECT_TRUE(helpOpened.empty());
    EXPECT_EQ(window->AFF_INSTANCE->text(), "_Scanner 1");
    EXPECT_FALSE(window->AFF_INSTANCE->isHidden());
    EXPECT_TRUE(window->windowTitle().endsWith("_Scanner 1"));
    EXPECT_TRUE(window->URL_SUPPORT->url().contains("_Scanner 1&body"));
    // Loaded values survive the start-up's save; a port that is no number becomes "1".
    EXPECT_EQ(window->INP_COMMPORT->text(), "1");
    EXPECT_EQ(itemsOf(window->LST_TOUCHES[1]), QStringList{"5{ENTER}"});
    EXPECT_EQ(readConfig("TOUCHE_REM.CFG", "_Scanner 1"), "1\r\n13\r\n");
    EXPECT_FALSE(QFileInfo::exists(configDir()));
}

}  // namespace
}  // namespace kest::testing
