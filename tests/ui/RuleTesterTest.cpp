// The rule tester window: opened from a button that joins the main window without
// moving any of its controls, it shows what the rules as they stand in the controls
// make of a sample, and types, sends and activates nothing.

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextStream>
#include <QtTest/QTest>

#include "WindowFixture.h"
#include "ui/RuleTester.h"

namespace kest::testing {
namespace {

using RuleTesterTest = WindowTest;

// Every control of the window, by its path of names, with its place in the window.
// Qt's own inner parts (unnamed, or named "qt_...") follow their control.
QStringList layoutLines(const QWidget* window, const QWidget* skip) {
    QStringList lines;
    for (const QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget == skip || (skip && skip->isAncestorOf(widget))) continue;
        QString path;
        bool own = true;
        for (const QObject* o = widget; o && o != window; o = o->parent()) {
            const QString name = o->objectName();
            if (name.isEmpty() || name.startsWith("qt_")) own = false;
            path = name + (path.isEmpty() ? "" : "/") + path;
        }
        if (!own) continue;
        const QRect r(widget->mapTo(window, QPoint(0, 0)), widget->size());
        lines << QStringLiteral("%1 %2,%3 %4x%5")
                     .arg(path)
                     .arg(r.x())
                     .arg(r.y())
                     .arg(r.width())
                     .arg(r.height());
    }
    lines.sort();
    return lines;
}

TEST_F(RuleTesterTest, TheButtonJoinsTheLayoutWithoutMovingAnyControl) {
    window->INP_PASS->setText("OPEN.THE.PANEL");
    QPushButton* button = window->B_RULE_TESTER;
    ASSERT_NE(button, nullptr);
    const QStringList now = layoutLines(window.get(), button);
    // The layout as it stood before the button, recorded from that build.
    QFile before(KEST_LAYOUT_BEFORE);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList expected =
        QString::fromUtf8(before.readAll()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(now, expected);
    EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 6, button->width());
    // Beside the test button, inside the rule frame, over no other control.
    EXPECT_EQ(button->parentWidget(), window->B_TEST_SEND->parentWidget());
    EXPECT_TRUE(button->parentWidget()->rect().contains(button->geometry()));
    for (const QWidget* other :
         button->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == button || !other->isVisibleTo(button->parentWidget())) continue;
        EXPECT_FALSE(other->geometry().intersects(button->geometry()))
            << other->objectName().toStdString();
    }
}

TEST_F(RuleTesterTest, TheTitleCarriesTheInstanceName) {
    window->AFF_INSTANCE->setText("_Scanner_001");
    window->B_RULE_TESTER->click();
    ASSERT_NE(window->ruleTester, nullptr);
    EXPECT_EQ(window->ruleTester->windowTitle(), "Rule tester_Scanner_001");
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
    window->B_RULE_TESTER->click();
    RuleTester* tester = window->ruleTester;
    ASSERT_NE(tester, nullptr);
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
