// The table editors, the remove list, the switches and the pictures of the window.

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cmath>

#include "engine/NumericValue.h"
#include "ui/WindowFixture.h"
#include "ui/WindowWidgets.h"

namespace kest::testing {
namespace {

QStringList items(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

using SearchReplaceTable = WindowTest;

TEST_F(SearchReplaceTable, RowsArePairsAddedExactlySelectedAndDeletedTogether) {
    window->B_ADD->click();  // both empty: an empty row in each column
    for (const char* row : {" 5 ", "b", "c"}) {
        window->INP_INPUT->setText(row);
        window->INP_OUTPUT->setText(QString(row).toUpper() + "{ENTER}");
        window->B_ADD->click();
    }
    EXPECT_EQ(items(window->LST_TOUCHES[0]), (QStringList{"", " 5 ", "b", "c"}));
    EXPECT_EQ(items(window->LST_TOUCHES[1]),
              (QStringList{"", " 5 {ENTER}", "B{ENTER}", "C{ENTER}"}));
    EXPECT_EQ(window->INP_INPUT->text(), "c");  // the fields keep their text

    window->LST_TOUCHES[1]->setCurrentRow(2);
    EXPECT_EQ(window->LST_TOUCHES[0]->currentRow(), 2);
    EXPECT_EQ(window->INP_INPUT->text(), "b");
    EXPECT_EQ(window->INP_OUTPUT->text(), "B{ENTER}");
    window->LST_TOUCHES[0]->setCurrentRow(1);
    EXPECT_EQ(window->LST_TOUCHES[1]->currentRow(), 1);
    window->B_DEL->click();
    EXPECT_EQ(items(window->LST_TOUCHES[0]), (QStringList{"", "b", "c"}));
    EXPECT_EQ(items(window->LST_TOUCHES[1]), (QStringList{"", "B{ENTER}", "C{ENTER}"}));
    // Nothing is selected in the search column now: a second press deletes nothing,
    // whatever the replacement column shows.
    window->LST_TOUCHES[1]->blockSignals(true);
    window->LST_TOUCHES[1]->setCurrentRow(0);
    window->LST_TOUCHES[1]->blockSignals(false);
    window->B_DEL->click();
    EXPECT_EQ(window->LST_TOUCHES[0]->count(), 3);
    EXPECT_EQ(window->LST_TOUCHES[1]->count(), 3);
}

using RemoveList = WindowTest;

// Each row reads back as the value added: "-inf" once read back as 0 and removed NUL.
TEST_F(RemoveList, AddsTheShortestDecimalUpTo255AndDeletesTheSelectedRowOnly) {
    for (const char* text : {"256", "255", "", "007", "-3", "7.5", "1e999", "-1e999", "1000"}) {
        window->INP_REMOVE_CAR->setText(text);
        window->B_ADD_REMOVE_CAR->click();
    }
    ASSERT_EQ(items(window->LST_REMOVE_CAR).mid(0, 5), (QStringList{"255", "0", "7", "-3", "7.5"}));
    ASSERT_EQ(window->LST_REMOVE_CAR->count(), 6);
    const std::string row = window->LST_REMOVE_CAR->item(5)->text().toStdString();
    EXPECT_EQ(numericValue(row), -HUGE_VAL) << row;
    EXPECT_EQ(window->INP_REMOVE_CAR->text(), "1000");

    window->LST_REMOVE_CAR->setCurrentRow(-1);
    window->B_DEL_REMOVE_CAR->click();
    EXPECT_EQ(window->LST_REMOVE_CAR->count(), 6);
    window->LST_REMOVE_CAR->setCurrentRow(1);
    window->B_DEL_REMOVE_CAR->click();
    EXPECT_EQ(items(window->LST_REMOVE_CAR).mid(0, 4), (QStringList{"255", "7", "-3", "7.5"}));
}

TEST_F(RemoveList, CodeFieldTakesDigitsOnlyAndEveryOtherKeyTypesZero) {
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
    // Tab leaves the field as from any other.
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_EQ(field->text(), "0009");
}

using Switches = WindowTest;

// Any picture toggles the upper-case box as a click on it would.
TEST_F(Switches, UpperCaseClearsAndGreysTheApiBoxAndReleasesItUnchecked) {
    PictureBox* file = window->findChild<PictureBox*>("Picture1(13)");
    PictureBox* besideBox = window->findChild<PictureBox*>("Picture1(8)");
    ASSERT_NE(file, nullptr);
    ASSERT_NE(besideBox, nullptr);
    window->SW_API_KB->setChecked(true);
    QTest::mouseClick(file, Qt::LeftButton);
    EXPECT_TRUE(window->SW_UPPER->isChecked());
    EXPECT_FALSE(window->SW_API_KB->isChecked());
    EXPECT_FALSE(window->SW_API_KB->isEnabled());
    EXPECT_FALSE(window->IMG_WIN->isEnabled());
    QTest::mouseClick(besideBox, Qt::LeftButton);
    EXPECT_FALSE(window->SW_UPPER->isChecked());
    EXPECT_TRUE(window->SW_API_KB->isEnabled());
    EXPECT_TRUE(window->IMG_WIN->isEnabled());
    EXPECT_FALSE(window->SW_API_KB->isChecked());
}

TEST_F(Switches, HelpButtonsOpenTheirHelpAndADoubleClickClearsTheDebugList) {
    window->LST_DEBUG->addItems({"one", "two"});
    QTest::mouseDClick(window->LST_DEBUG->viewport(), Qt::LeftButton);
    EXPECT_EQ(window->LST_DEBUG->count(), 0);
    window->B_HLP[1]->click();
    window->B_HELP_PREF_SUF[0]->click();
    window->B_HELP_PREF_SUF[1]->click();
    EXPECT_EQ(helpOpened, (std::vector<int>{0, 1, 1}));
}

}  // namespace
}  // namespace kest::testing
