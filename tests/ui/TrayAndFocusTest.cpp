// Where the window goes when it is sent to the tray, and texts that arrive while the
// program's own window has the keyboard focus or while the platform refuses keys, and
// the test send.

#include <QImage>
#include <cmath>

#include "ui/TestSend.h"
#include "ui/TrayIcon.h"
#include "ui/WindowFixture.h"

namespace kest::testing {
namespace {

// The Tray button hides to the notification area while one exists; a window hidden
// there comes back to the task list when the area goes away (with none at all, the
// button minimises: the end-to-end test on a desktop).
TEST_F(WindowTest, AHiddenWindowComesToTheTaskListWhenTheNotificationAreaGoesAway) {
    bool areaAvailable = true;
    window->tray =
        std::make_unique<TrayIcon>(window.get(), TrayIcon::tipText("_A"), TrayIcon::programIcon());
    window->tray->areaAvailable = [&] { return areaAvailable; };
    window->show();
    window->tray->setTaskListVisible(false);  // as shown from an icon earlier
    window->tray->add();
    window->INP_PASS->setText("OPEN.THE.PANEL");
    window->B_MIN->click();
    EXPECT_TRUE(window->INP_PASS->text().isEmpty());
    EXPECT_FALSE(window->isVisible());
    window->tray->add();  // the periodic re-add, area still there: nothing changes
    EXPECT_FALSE(window->isVisible());
    areaAvailable = false;
    window->tray->add();
    EXPECT_TRUE(window->isVisible() && window->isMinimized() && window->tray->taskListVisible());
}

TEST_F(WindowTest, TextsWaitWhileOurWindowHasTheFocusUnlessATargetIsSetAndNoneIsLost) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(waitFor([] { return QGuiApplication::focusWindow() != nullptr; }));
    // With a target window the keys go there: at once.
    window->INP_TARGET_WIN->setText("Receiver");
    window->processData("scan ");
    EXPECT_EQ(activator.titles, std::vector<std::string>{"Receiver"});
    EXPECT_EQ(keyboard.typedText(), "scan ");
    window->INP_TARGET_WIN->clear();

    window->INP_FILE_DIR->setFocus();
    window->processData("line one");
    EXPECT_TRUE(lastDebugLine().startsWith("WAITING")) << lastDebugLine().toStdString();
    EXPECT_EQ(keyboard.typedText(), "scan ");

    // What the platform reports when the user switches to another program; the
    // offscreen platform has no other program to switch to.
    window->ownWindowFocused = [] { return false; };
    emit qGuiApp->focusWindowChanged(nullptr);
    EXPECT_TRUE(waitFor([&] { return keyboard.typedText() == "scan line one"; }))
        << keyboard.typedText();
}

// A mebibyte and one: keys well beyond a million in one piece, typed in chunks. Letters
// in an order that does not repeat soon, so a chunk lost or typed twice shows.
TEST_F(WindowTest, ATextOfAMebibyteAndOneIsTypedWholeInOrder) {
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
    keyboard.refuseFrom(1);  // "a" goes in
    window->processData("ab");
    EXPECT_EQ(lastDebugLine(), "WAITING (" + why + "): ab");
    window->processData("cd");
    EXPECT_EQ(lastDebugLine(), "WAITING (" + why + "): cd");
    EXPECT_EQ(keyboard.typedText(), "a");
    EXPECT_EQ(window->trouble().summary(), "texts waiting: " + why);
    keyboard.acceptAgain();
    EXPECT_TRUE(waitFor([&] { return keyboard.typedText() == "abcd"; })) << keyboard.typedText();
    EXPECT_EQ(reasons, (std::vector<QString>{why, QString()}));
    EXPECT_FALSE(window->trouble().has(Trouble::KeysWaiting));

    keyboard.refuseFrom(0);
    window->processData("ef");
    keyboard.acceptAgain();
    EXPECT_TRUE(waitFor([&] { return keyboard.typedText() == "abcdef"; })) << keyboard.typedText();
    EXPECT_EQ(reasons.size(), 4u);
}

// WCAG's relative luminance.
double luminance(const QColor& c) {
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}
// WCAG's contrast of a control's darkest pixel (its text) against the light red the
// countdown is shown on.
double textContrastOnRed(QWidget* control) {
    const QImage image = control->grab().toImage();
    double darkest = 1.0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            darkest = std::min(darkest, luminance(image.pixelColor(x, y)));
    return (luminance(ROUGE()) + 0.05) / (darkest + 0.05);
}

// A ten-second countdown on the button, in red and readable, with the window refusing
// input; then the field's text goes to the pipeline as if received.
TEST_F(WindowTest, TestSendCountsDownInRedWithTheWindowDisabledAndSendsAtTheEleventhTick) {
    window->INP_PASS->setText("OPEN.THE.PANEL");
    window->INP_PREFIX->setText("<");  // an empty text shows as "<>"
    window->INP_SUFFIX->setText(">");
    window->show();
    // Asked by every received text: the window's state as the text arrives.
    bool enabledWhenSent = false, countingWhenSent = true;
    window->ownWindowFocused = [&] {
        enabledWhenSent = window->isEnabled();
        countingWhenSent = window->testSend->counting();
        return false;
    };
    const auto tick = [&] { window->testSend->TIM_TEST_SEND_Timer(); };
    window->INP_OUTPUT->setText("at the click");
    window->B_TEST_SEND->click();
    EXPECT_EQ(window->B_TEST_SEND->text(), "10");
    EXPECT_EQ(shownColour(window->B_TEST_SEND), ROUGE());
    EXPECT_EQ(shownColour(window->INP_OUTPUT), ROUGE());
    QStringList captions;
    for (int second = 1; second <= 10; ++second) {
        tick();
        captions << window->B_TEST_SEND->text();
        EXPECT_EQ(keyboard.typedText(), "") << second;
        EXPECT_FALSE(window->isEnabled()) << second;
    }
    // The colour reaches the screen, not only the palette.
    const QImage field = window->INP_OUTPUT->grab().toImage();
    EXPECT_EQ(field.pixelColor(field.width() - 4, field.height() / 2), ROUGE());
    // Ordinary text reaches at least 4.5:1 on the red; greyed text is near 1:1.
    EXPECT_GE(textContrastOnRed(window->B_TEST_SEND), 4.5);
    EXPECT_GE(textContrastOnRed(window->INP_OUTPUT), 4.5);
    EXPECT_EQ(captions, (QStringList{"09", "08", "07", "06", "05", "04", "03", "02", "01", "00"}));

    // The field as it is at the last tick is sent, in Windows-1252, once the window
    // takes input again.
    window->INP_OUTPUT->setText(QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC"));
    tick();
    EXPECT_EQ(keyboard.typedText(), "<caf\xE9 \x80>");
    EXPECT_EQ(window->B_TEST_SEND->text(), "Test");  // never "-01"
    EXPECT_FALSE(countingWhenSent);
    EXPECT_TRUE(enabledWhenSent);
    EXPECT_EQ(shownColour(window->B_TEST_SEND), buttonFaceColour());
    EXPECT_EQ(shownColour(window->INP_OUTPUT), windowBackgroundColour());
}

}  // namespace
}  // namespace kest::testing
