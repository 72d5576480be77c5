// The rule tester window: opened from a button beside the test button, it shows what
// the rules as they stand in the controls make of a sample, and types, sends and
// activates nothing.

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest/QTest>

#include "WindowFixture.h"
#include "ui/RuleTester.h"

namespace kest::testing {
namespace {

using RuleTesterTest = WindowTest;

TEST_F(RuleTesterTest, TheButtonFitsItsTextBesideTheTestButtonOverNoOtherControl) {
    window->INP_PASS->setText("OPEN.THE.PANEL");
    QPushButton* button = window->B_RULE_TESTER;
    EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 6, button->width());
    EXPECT_EQ(button->parentWidget(), window->B_TEST_SEND->parentWidget());
    EXPECT_TRUE(button->parentWidget()->rect().contains(button->geometry()));
    for (const QWidget* other :
         button->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == button || !other->isVisibleTo(button->parentWidget())) continue;
        EXPECT_FALSE(other->geometry().intersects(button->geometry()))
            << other->objectName().toStdString();
    }
}

TEST_F(RuleTesterTest, StepsAndTypedCharactersFollowTheSampleAndTheControlsAsTheyStand) {
    window->LST_REMOVE_CAR->addItem("13");
    window->LST_TOUCHES[0]->addItem("5");
    window->LST_TOUCHES[1]->addItem("5~");
    window->INP_PREFIX->setText("<");
    window->B_RULE_TESTER->click();
    RuleTester* tester = window->ruleTester;
    ASSERT_NE(tester, nullptr);
    EXPECT_TRUE(tester->isVisible());
    EXPECT_EQ(tester->windowTitle(), "Rule tester");

    QTest::keyClicks(tester->INP_SAMPLE, "a5{ASCII:13}");
    EXPECT_EQ(tester->AFF_RESULT->text(), "<a5{ASCII:13}");
    const QString steps = tester->AFF_STEPS->toPlainText();
    EXPECT_TRUE(steps.contains("After the remove list: \"a5\"")) << steps.toStdString();
    EXPECT_TRUE(steps.contains("Rule 1 (\"5\" -> \"5~\") matched at position 2"))
        << steps.toStdString();
    EXPECT_TRUE(steps.contains("keys: 'a', '5', Enter")) << steps.toStdString();

    // Unsaved edits count at once: a suffix, a new rule, a switch.
    window->INP_SUFFIX->setText(">");
    EXPECT_EQ(tester->AFF_RESULT->text(), "<a5{ASCII:13}>");
    window->LST_TOUCHES[0]->addItem("a");
    window->LST_TOUCHES[1]->addItem("{BAD}");
    EXPECT_EQ(tester->AFF_RESULT->text(), "<>");
    EXPECT_TRUE(tester->AFF_STEPS->toPlainText().contains(
        "not typed: invalid key notation at position 1: unknown key name \"BAD\""));
    window->LST_TOUCHES[0]->takeItem(1);
    window->LST_TOUCHES[1]->takeItem(1);
    window->SW_API_KB->setCheckState(Qt::Checked);
    EXPECT_TRUE(tester->AFF_STEPS->toPlainText().contains("keys: A, 5, Enter"))
        << tester->AFF_STEPS->toPlainText().toStdString();
}

TEST_F(RuleTesterTest, NothingIsTypedSentOrActivatedAndPastedControlsBecomeVisible) {
    window->INP_TARGET_WIN->setText("Orders");
    window->AFF_INSTANCE->setText("_Scanner_001");
    window->B_RULE_TESTER->click();
    RuleTester* tester = window->ruleTester;
    ASSERT_NE(tester, nullptr);
    // Named as the main window is: with several copies, which rules it tests.
    EXPECT_EQ(tester->windowTitle(), "Rule tester_Scanner_001");
    tester->INP_SAMPLE->setText("APP[Other]x{TX_TCP[t]}\ry");
    EXPECT_EQ(tester->INP_SAMPLE->text(), "APP[Other]x{TX_TCP[t]}{ASCII:13}y");
    EXPECT_EQ(tester->AFF_RESULT->text(), "x{ASCII:13}y");
    const QString steps = tester->AFF_STEPS->toPlainText();
    EXPECT_TRUE(steps.contains("Send-back over TCP: \"t\" not sent: no TCP connection now"))
        << steps.toStdString();
    EXPECT_TRUE(steps.contains("Window activation: \"Other\"")) << steps.toStdString();
    EXPECT_TRUE(keyboard.events().empty());
    EXPECT_TRUE(activator.titles.empty());
    EXPECT_EQ(window->LST_DEBUG->count(), 0);
    // A second click brings the same window back rather than another.
    tester->hide();
    window->B_RULE_TESTER->click();
    EXPECT_EQ(window->ruleTester, tester);
    EXPECT_TRUE(tester->isVisible());
}

}  // namespace
}  // namespace kest::testing
