// Where the window goes when it is sent to the tray, and texts that arrive while the
// program's own window has the keyboard focus or while the platform refuses keys.

#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QWindow>

#include "ui/TestSend.h"
#include "ui/TrayIcon.h"
#include "ui/TroubleState.h"
#include "ui/WindowFixture.h"

namespace kest::testing {
namespace {

class TrayButtonTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        window->tray = std::make_unique<TrayIcon>(window.get(), TrayIcon::tipText("_A"),
                                                  TrayIcon::programIcon());
        window->tray->areaAvailable = [this] { return areaAvailable; };
        window->show();
    }
    bool minimisedInTaskList() const {
        return window->isVisible() && window->isMinimized() && window->tray->taskListVisible();
    }

    bool areaAvailable = false;
};

TEST_F(TrayButtonTest, WithoutNotificationAreaTheWindowGoesToTheTaskList) {
    window->tray->setTaskListVisible(false);  // as shown from an icon earlier
    window->INP_PASS->setText("OPEN.THE.PANEL");
    window->B_MIN->click();
    EXPECT_TRUE(window->INP_PASS->text().isEmpty());
    EXPECT_TRUE(minimisedInTaskList());

    // Restored as any window is; once an area exists, the button hides to it again.
    window->setWindowState(Qt::WindowNoState);
    areaAvailable = true;
    window->INP_PASS->setText("OPEN.THE.PANEL");
    window->B_MIN->click();
    EXPECT_TRUE(window->INP_PASS->text().isEmpty());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
}

TEST_F(TrayButtonTest, AHiddenWindowComesToTheTaskListWhenTheAreaGoesAway) {
    areaAvailable = true;
    window->tray->add();
    window->B_MIN->click();
    ASSERT_FALSE(window->isVisible());
    window->tray->add();  // the periodic re-add, area still there: nothing changes
    EXPECT_FALSE(window->isVisible());
    areaAvailable = false;
    window->tray->add();
    EXPECT_TRUE(minimisedInTaskList());
}

class OwnFocusTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(waitFor([] { return QGuiApplication::focusWindow() != nullptr; }));
    }
    // What the platform reports when the user switches to another program; the
    // offscreen platform has no other program to switch to.
    void focusToAnotherProgram() {
        window->ownWindowFocused = [] { return false; };
        emit qGuiApp->focusWindowChanged(nullptr);
    }
    QString lastDebugLine() const {
        const int rows = window->LST_DEBUG->count();
        return rows ? window->LST_DEBUG->item(rows - 1)->text() : QString();
    }
};

TEST_F(OwnFocusTest, TextsWaitWhileOurWindowHasTheFocusUnlessATargetIsSetAndNoneIsLost) {
    // With a target window the keys go there: at once.
    window->INP_TARGET_WIN->setText("Receiver");
    window->processData("scan ");
    EXPECT_EQ(activator.titles, std::vector<std::string>{"Receiver"});
    EXPECT_EQ(keyboard.typedText(), "scan ");
    window->INP_TARGET_WIN->clear();

    window->INP_FILE_DIR->setFocus();
    window->processData("line one");
    EXPECT_TRUE(lastDebugLine().startsWith("WAITING")) << lastDebugLine().toStdString();
    EXPECT_TRUE(lastDebugLine().contains("line one"));
    // The test send too, when the user stayed in the window.
    window->INP_OUTPUT->setText("kest 42");
    window->B_TEST_SEND->click();
    for (int tick = 0; tick < 11; ++tick) window->testSend->TIM_TEST_SEND_Timer();
    ASSERT_FALSE(window->testSend->counting());
    EXPECT_TRUE(lastDebugLine().startsWith("WAITING")) << lastDebugLine().toStdString();
    EXPECT_EQ(keyboard.typedText(), "scan ");
    EXPECT_EQ(window->INP_FILE_DIR->text(), "C:\\FILE_IN.TXT");

    focusToAnotherProgram();
    EXPECT_TRUE(waitFor([&] { return keyboard.typedText() == "scan line onekest 42"; }))
        << keyboard.typedText();
}

// A mebibyte and one: keys well beyond a million in one piece, typed in chunks. Letters
// in an order that does not repeat soon, so a chunk lost or typed twice shows.
TEST_F(OwnFocusTest, ATextOfAMebibyteAndOneIsTypedWholeInOrder) {
    window->INP_TARGET_WIN->setText("Receiver");
    std::string text;
    for (std::size_t i = 0; i <= (std::size_t(1) << 20); ++i) text += char('a' + (i + i / 26) % 26);
    window->processData(QByteArray::fromStdString(text));
    EXPECT_TRUE(keyboard.typedText() == text) << keyboard.typedText().size() << " typed";
}

// A locked screen refuses keys part-way: the texts wait in order, each wait is listed
// with its reason when it begins, whoever shows the program's troubles hears the reason
// and the end, and the texts are typed whole once keys are accepted again.
TEST_F(WindowTest, TextsWaitWhileKeysAreRefusedAndEachWaitIsSaidWithItsReason) {
    window->ownWindowFocused = [] { return false; };
    std::vector<QString> reasons;
    QObject::connect(window.get(), &F_MAIN::keysWaitingChanged,
                     [&](const QString& reason) { reasons.push_back(reason); });
    const QString why = QStringLiteral("recording keyboard device: keys refused");
    const auto lastLine = [&] {
        return window->LST_DEBUG->item(window->LST_DEBUG->count() - 1)->text();
    };
    keyboard.refuseFrom(1);  // "a" goes in
    window->processData("ab");
    EXPECT_EQ(lastLine(), "WAITING (" + why + "): ab");
    window->processData("cd");
    EXPECT_EQ(lastLine(), "WAITING (" + why + "): cd");
    EXPECT_EQ(keyboard.typedText(), "a");
    EXPECT_EQ(window->keysWaitingReason(), why);
    EXPECT_EQ(window->trouble().summary(), "texts waiting: " + why);
    keyboard.acceptAgain();
    EXPECT_TRUE(waitFor([&] { return keyboard.typedText() == "abcd"; })) << keyboard.typedText();
    EXPECT_EQ(reasons, (std::vector<QString>{why, QString()}));
    EXPECT_FALSE(window->trouble().has(Trouble::KeysWaiting));

    keyboard.refuseFrom(0);
    window->processData("ef");
    EXPECT_EQ(lastLine(), "WAITING (" + why + "): ef");
    keyboard.acceptAgain();
    EXPECT_TRUE(waitFor([&] { return keyboard.typedText() == "abcdef"; })) << keyboard.typedText();
    EXPECT_EQ(reasons.size(), 4u);
}

}  // namespace
}  // namespace kest::testing
