// The table editors, the remove list, the switches and the pictures of the window, and
// the rule tester that shows what the rules as they stand make of a sample.

#include <QPlainTextEdit>
#include <cmath>

#include "engine/NumericValue.h"
#include "ui/RuleTester.h"
#include "ui/WindowFixture.h"

namespace kest::testing {
namespace {

TEST_F(WindowTest, RowsArePairsAddedExactlySelectedAndDeletedTogether) {
    window->B_ADD->click();  // both empty: an empty row in each column
    for (const char* row : {" 5 ", "b", "c"}) {
        window->INP_INPUT->setText(row);
        window->INP_OUTPUT->setText(QString(row).toUpper() + "{ENTER}");
        window->B_ADD->click();
    }
    EXPECT_EQ(itemsOf(window->LST_TOUCHES[0]), (QStringList{"", " 5 ", "b", "c"}));
    EXPECT_EQ(itemsOf(window->LST_TOUCHES[1]),
              (QStringList{"", " 5 {ENTER}", "B{ENTER}", "C{ENTER}"}));

    window->LST_TOUCHES[1]->setCurrentRow(2);
    EXPECT_EQ(window->LST_TOUCHES[0]->currentRow(), 2);
    EXPECT_EQ(window->INP_INPUT->text(), "b");
    EXPECT_EQ(window->INP_OUTPUT->text(), "B{ENTER}");
    window->LST_TOUCHES[0]->setCurrentRow(1);
    EXPECT_EQ(window->LST_TOUCHES[1]->currentRow(), 1);
    window->B_DEL->click();
    EXPECT_EQ(itemsOf(window->LST_TOUCHES[0]), (QStringList{"", "b", "c"}));
    EXPECT_EQ(itemsOf(window->LST_TOUCHES[1]), (QStringList{"", "B{ENTER}", "C{ENTER}"}));
    // Nothing is selected in the search column now: a second press deletes nothing,
    // whatever the replacement column shows.
    window->LST_TOUCHES[1]->blockSignals(true);
    window->LST_TOUCHES[1]->setCurrentRow(0);
    window->LST_TOUCHES[1]->blockSignals(false);
    window->B_DEL->click();
    EXPECT_EQ(window->LST_TOUCHES[0]->count(), 3);
    EXPECT_EQ(window->LST_TOUCHES[1]->count(), 3);
}

// Each row reads back as the value added: "-inf" once read back as 0 and removed NUL.
TEST_F(WindowTest, AddsTheShortestDecimalUpTo255AndDeletesTheSelectedRowOnly) {
    for (const char* text : {"256", "255", "", "007", "-3", "7.5", "1e999", "-1e999", "1000"}) {
        window->INP_REMOVE_CAR->setText(text);
        window->B_ADD_REMOVE_CAR->click();
    }
    ASSERT_EQ(itemsOf(window->LST_REMOVE_CAR).mid(0, 5),
              (QStringList{"255", "0", "7", "-3", "7.5"}));
    ASSERT_EQ(window->LST_REMOVE_CAR->count(), 6);
    const std::string row = window->LST_REMOVE_CAR->item(5)->text().toStdString();
    EXPECT_EQ(numericValue(row), -HUGE_VAL) << row;

    window->LST_REMOVE_CAR->setCurrentRow(-1);
    window->B_DEL_REMOVE_CAR->click();
    EXPECT_EQ(window->LST_REMOVE_CAR->count(), 6);
    window->LST_REMOVE_CAR->setCurrentRow(1);
    window->B_DEL_REMOVE_CAR->click();
    EXPECT_EQ(itemsOf(window->LST_REMOVE_CAR).mid(0, 4), (QStringList{"255", "7", "-3", "7.5"}));
}

TEST_F(WindowTest, CodeFieldTakesDigitsOnlyAndEveryOtherKeyTypesZero) {
    QLineEdit* field = window->INP_REMOVE_CAR;
    QTest::keyClicks(field, "1a");
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClicks(field, "9");
    EXPECT_EQ(field->text(), "10009");
    // Delete is no typed character and edits as usual.
    QTest::keyClick(field, Qt::Key_Home);
    QTest::keyClick(field, Qt::Key_Delete);
    EXPECT_EQ(field->text(), "0009");
}

// Every picture toggles the upper-case box as a click on it would.
TEST_F(WindowTest, EveryPictureTogglesUpperCaseWhichClearsAndGreysTheApiBox) {
    window->SW_API_KB->setChecked(true);
    bool upper = false;
    for (PictureBox* picture : window->findChildren<PictureBox*>()) {
        QTest::mouseClick(picture, Qt::LeftButton);
        upper = !upper;
        EXPECT_EQ(window->SW_UPPER->isChecked(), upper) << picture->objectName().toStdString();
        EXPECT_EQ(window->SW_API_KB->isEnabled(), !upper);
        EXPECT_EQ(window->IMG_WIN->isEnabled(), !upper);
        EXPECT_FALSE(window->SW_API_KB->isChecked());
    }
}

TEST_F(WindowTest, HelpButtonsOpenTheirHelpAndADoubleClickClearsTheDebugList) {
    window->LST_DEBUG->addItems({"one", "two"});
    QTest::mouseDClick(window->LST_DEBUG->viewport(), Qt::LeftButton);
    EXPECT_EQ(window->LST_DEBUG->count(), 0);
    window->B_HLP[1]->click();
    window->B_HELP_PREF_SUF[0]->click();
    window->B_HELP_PREF_SUF[1]->click();
    EXPECT_EQ(helpOpened, (std::vector<int>{0, 1, 1}));
}

// The rule tester window: opened from a button beside the test button, it shows what
// the rules as they stand in the controls make of a sample, and types, sends and
// activates nothing.

// What the dry run says is its own test; here, that the tester follows the controls
// as they stand, unsaved edits included, and types, sends and activates nothing.
TEST_F(WindowTest, TheTesterFollowsTheControlsAsTheyStandAndDoesNothing) {
    window->LST_REMOVE_CAR->addItem("13");
    window->LST_TOUCHES[0]->addItem("5");
    window->LST_TOUCHES[1]->addItem("5~");
    window->INP_PREFIX->setText("<");
    window->AFF_INSTANCE->setText("_Scanner_001");
    window->B_RULE_TESTER->click();
    RuleTester* tester = window->ruleTester;
    ASSERT_NE(tester, nullptr);
    // Named as the main window is: with several copies, which rules it tests.
    EXPECT_EQ(tester->windowTitle(), "Rule tester_Scanner_001");

    QTest::keyClicks(tester->INP_SAMPLE, "a5{ASCII:13}");
    EXPECT_EQ(tester->AFF_RESULT->text(), "<a5{ASCII:13}");
    EXPECT_TRUE(tester->AFF_STEPS->toPlainText().contains("keys: 'a', '5', Enter"));
    window->INP_SUFFIX->setText(">");
    window->LST_TOUCHES[0]->addItem("a");
    window->LST_TOUCHES[1]->addItem("b");
    EXPECT_EQ(tester->AFF_RESULT->text(), "<b5{ASCII:13}>");

    // A pasted line break shows as its notation; macros are shown, not carried out.
    window->INP_TARGET_WIN->setText("Orders");
    window->LST_REMOVE_CAR->clear();
    tester->INP_SAMPLE->setText("APP[Other]x{TX_TCP[t]}\ry");
    EXPECT_EQ(tester->INP_SAMPLE->text(), "APP[Other]x{TX_TCP[t]}{ASCII:13}y");
    EXPECT_EQ(tester->AFF_RESULT->text(), "<x{ASCII:13}y>");
    EXPECT_TRUE(keyboard.events().empty());
    EXPECT_TRUE(activator.titles.empty());
    const QString before = tester->AFF_RESULT->text();
    window->SW_API_KB->setCheckState(Qt::Checked);  // the switches count too
    EXPECT_NE(tester->AFF_RESULT->text(), before);
    // A second click brings the same window back rather than another.
    tester->hide();
    window->B_RULE_TESTER->click();
    EXPECT_EQ(window->ruleTester, tester);
    EXPECT_TRUE(tester->isVisible());
}

}  // namespace
}  // namespace kest::testing
