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

TEST_F(SearchReplaceTable, AddAppendsBothTextsExactlyAndKeepsThem) {
    window->B_ADD->click();  // both empty: an empty row in each column
    window->INP_INPUT->setText(" 5 ");
    window->INP_OUTPUT->setText("5{ENTER}");
    window->B_ADD->click();
    EXPECT_EQ(items(window->LST_TOUCHES[0]), (QStringList{"", " 5 "}));
    EXPECT_EQ(items(window->LST_TOUCHES[1]), (QStringList{"", "5{ENTER}"}));
    EXPECT_EQ(window->INP_INPUT->text(), " 5 ");
    EXPECT_EQ(window->INP_OUTPUT->text(), "5{ENTER}");
}

TEST_F(SearchReplaceTable, SelectingARowInEitherColumnSelectsThePairAndFillsTheFields) {
    for (const char* row : {"a", "b", "c", "d"}) {
        window->INP_INPUT->setText(row);
        window->INP_OUTPUT->setText(QString(row).toUpper());
        window->B_ADD->click();
    }
    window->LST_TOUCHES[1]->setCurrentRow(2);
    EXPECT_EQ(window->LST_TOUCHES[0]->currentRow(), 2);
    EXPECT_EQ(window->INP_INPUT->text(), "c");
    EXPECT_EQ(window->INP_OUTPUT->text(), "C");
    window->LST_TOUCHES[0]->setCurrentRow(0);
    EXPECT_EQ(window->LST_TOUCHES[1]->currentRow(), 0);
    EXPECT_EQ(window->INP_OUTPUT->text(), "A");
}

TEST_F(SearchReplaceTable, DeleteRemovesTheSelectedPairOnly) {
    for (const char* row : {"a", "b", "c"}) {
        window->INP_INPUT->setText(row);
        window->INP_OUTPUT->setText(QString(row).toUpper());
        window->B_ADD->click();
    }
    window->LST_TOUCHES[0]->setCurrentRow(1);
    window->B_DEL->click();
    EXPECT_EQ(items(window->LST_TOUCHES[0]), (QStringList{"a", "c"}));
    EXPECT_EQ(items(window->LST_TOUCHES[1]), (QStringList{"A", "C"}));
    EXPECT_EQ(window->INP_INPUT->text(), "b");  // the fields keep their text
    // Nothing is selected now: a second press deletes nothing.
    window->B_DEL->click();
    EXPECT_EQ(window->LST_TOUCHES[0]->count(), 2);
}

TEST_F(SearchReplaceTable, DeleteWithoutASearchSelectionDoesNothing) {
    window->B_ADD->click();
    window->LST_TOUCHES[0]->setCurrentRow(-1);
    window->LST_TOUCHES[1]->blockSignals(true);
    window->LST_TOUCHES[1]->setCurrentRow(0);
    window->LST_TOUCHES[1]->blockSignals(false);
    window->B_DEL->click();
    EXPECT_EQ(window->LST_TOUCHES[0]->count(), 1);
    EXPECT_EQ(window->LST_TOUCHES[1]->count(), 1);
}

using RemoveList = WindowTest;

TEST_F(RemoveList, AddsTheShortestDecimalUpTo255) {
    for (const char* text : {"256", "255", "", "007", "-3", "7.5", "1000"}) {
        window->INP_REMOVE_CAR->setText(text);
        window->B_ADD_REMOVE_CAR->click();
    }
    EXPECT_EQ(items(window->LST_REMOVE_CAR), (QStringList{"255", "0", "7", "-3", "7.5"}));
    EXPECT_EQ(window->INP_REMOVE_CAR->text(), "1000");
}

// "-inf" read back as 0 and so removed NUL; the row must read back as the value added.
TEST_F(RemoveList, AValueBeyondADoubleIsAddedAsTextThatReadsBackAsIt) {
    window->INP_REMOVE_CAR->setText("-1e999");
    window->B_ADD_REMOVE_CAR->click();
    ASSERT_EQ(window->LST_REMOVE_CAR->count(), 1);
    const std::string row = window->LST_REMOVE_CAR->item(0)->text().toStdString();
    EXPECT_EQ(numericValue(row), -HUGE_VAL) << row;
    window->INP_REMOVE_CAR->setText("1e999");
    window->B_ADD_REMOVE_CAR->click();
    EXPECT_EQ(window->LST_REMOVE_CAR->count(), 1);
}

TEST_F(RemoveList, DeleteRemovesTheSelectedCodeOnly) {
    for (const char* text : {"13", "10"}) {
        window->INP_REMOVE_CAR->setText(text);
        window->B_ADD_REMOVE_CAR->click();
    }
    window->LST_REMOVE_CAR->setCurrentRow(-1);
    window->B_DEL_REMOVE_CAR->click();
    EXPECT_EQ(window->LST_REMOVE_CAR->count(), 2);
    window->LST_REMOVE_CAR->setCurrentRow(0);
    window->B_DEL_REMOVE_CAR->click();
    EXPECT_EQ(items(window->LST_REMOVE_CAR), QStringList{"10"});
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

TEST_F(Switches, UpperCaseClearsAndGreysTheApiBoxAndReleasesItUnchecked) {
    window->SW_API_KB->setChecked(true);
    window->SW_UPPER->setChecked(true);
    EXPECT_FALSE(window->SW_API_KB->isChecked());
    EXPECT_FALSE(window->SW_API_KB->isEnabled());
    EXPECT_FALSE(window->IMG_WIN->isEnabled());
    window->SW_UPPER->setChecked(false);
    EXPECT_TRUE(window->SW_API_KB->isEnabled());
    EXPECT_TRUE(window->IMG_WIN->isEnabled());
    EXPECT_FALSE(window->SW_API_KB->isChecked());
}

TEST_F(Switches, EveryPictureTogglesUpperCase) {
    PictureBox* file = window->findChild<PictureBox*>("Picture1(13)");
    PictureBox* besideBox = window->findChild<PictureBox*>("Picture1(8)");
    ASSERT_NE(file, nullptr);
    ASSERT_NE(besideBox, nullptr);
    window->SW_API_KB->setChecked(true);
    QTest::mouseClick(file, Qt::LeftButton);
    EXPECT_TRUE(window->SW_UPPER->isChecked());
    EXPECT_FALSE(window->SW_API_KB->isChecked());
    QTest::mouseClick(besideBox, Qt::LeftButton);
    EXPECT_FALSE(window->SW_UPPER->isChecked());
    EXPECT_GE(window->Picture1.size(), 15u);
}

TEST_F(Switches, DebugListClearsOnDoubleClick) {
    window->LST_DEBUG->addItems({"one", "two"});
    QTest::mouseDClick(window->LST_DEBUG->viewport(), Qt::LeftButton);
    EXPECT_EQ(window->LST_DEBUG->count(), 0);
}

TEST_F(Switches, HelpButtonsOpenGeneralHelpAndTokenReference) {
    window->B_HLP[1]->click();
    window->B_HELP_PREF_SUF[0]->click();
    window->B_HELP_PREF_SUF[1]->click();
    EXPECT_EQ(helpOpened, (std::vector<int>{0, 1, 1}));
}

TEST_F(Switches, ControlsKeepTheirSystemNamesAndDefaults) {
    EXPECT_EQ(window->findChild<QLineEdit*>("INP_COMMPORT")->text(), "0");
    EXPECT_EQ(window->findChild<QLineEdit*>("INP_COM_CFG")->text(), "9600,N,8,1");
    EXPECT_EQ(window->findChild<QLineEdit*>("INP_FILE_DIR")->text(), "C:\\FILE_IN.TXT");
    EXPECT_EQ(window->findChild<QLineEdit*>("INP_IP_PORT")->text(), "1024");
    EXPECT_EQ(window->findChild<QLineEdit*>("INP_DELAY")->text(), ".2");
    EXPECT_NE(window->findChild<QListWidget*>("LST_TOUCHES[1]"), nullptr);
    EXPECT_TRUE(window->SW_DTR->isChecked());
    EXPECT_TRUE(window->SW_IP_CL_SE[0]->isChecked());
    // The path, then where its drive lies here.
    EXPECT_TRUE(window->INP_FILE_DIR->toolTip().startsWith("C:\\FILE_IN.TXT\nC:\\ is "));
    EXPECT_EQ(window->B_FILE_CHOSE->toolTip(), window->INP_FILE_DIR->toolTip());
    EXPECT_EQ(window->width(), 426);
    EXPECT_EQ(shownColour(window->findChild<QWidget*>("VERT")), QColor(128, 255, 128));
    EXPECT_EQ(shownColour(window->findChild<QWidget*>("ROUGE")), QColor(255, 128, 128));
    EXPECT_FALSE(window->FR_MAIN->isVisibleTo(window.get()));
}

}  // namespace
}  // namespace kest::testing
