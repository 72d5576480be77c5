// The help window: the help the tag asks for, shown whole and line by line, read-only
// but still selectable, in a modal window of its own each time.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QTest>
#include <QTextCursor>

#include "ui/HelpWindow.h"
#include "ui/OffscreenApp.h"

namespace kest {
namespace {

class HelpWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { test::offscreenApp(); }
    test::ConfigHome home;
};

TEST_F(HelpWindowTest, EachTagLoadsItsOwnHelpWholeAndEmptiedFirst) {
    // The general help names the access codes and where this copy logs; the token
    // reference the send-back macros and the key codes.
    const QString general = F_HELP::helpText(F_HELP::kGeneralHelp);
    const QString tokens = F_HELP::helpText(F_HELP::kTokenReference);
    for (const char* line : {"\r\nOPEN.THE.PANEL = To change the configuration\r\n",
                             "\r\nEND = Close this Software\r\n", "/#INSTANCE_NAME#\r\n"})
        EXPECT_TRUE(general.contains(line)) << line;
    EXPECT_TRUE(general.contains("\r\n" + home.base() + "/kest-redirect_INSTANCE_NAME.log\r\n"));
    EXPECT_TRUE(general.contains("--autostart on /#INSTANCE_NAME#\r\n"));
    for (const char* line : {"\r\n{TX_SERIAL[String to Send]}\r\n", "\r\nTAB {TAB}\r\n",
                             "\r\nF16 {F16}\r\n", "\r\nCTRL  ^\r\n", "{LEFT 42}"})
        EXPECT_TRUE(tokens.contains(line)) << line;
    EXPECT_FALSE(general.contains("{TX_SERIAL"));
    EXPECT_FALSE(tokens.contains("OPEN.THE.PANEL"));

    // The tag's numeric value picks the text; an empty tag counts as 0; any other
    // value shows nothing, and nothing of an earlier text stays.
    F_HELP help;
    const struct {
        const char* tag;
        QString text;
    } loads[] = {{"0", general}, {"1", tokens}, {"", general}, {"7", ""}, {" 1 ", tokens}};
    for (const auto& load : loads) {
        help.setTag(load.tag);
        help.Form_Load();
        EXPECT_EQ(help.text(), load.text) << load.tag;
        // Shown one line per line: the closing CR LF leaves an empty last line.
        EXPECT_EQ(help.AFF_HLP->toPlainText(), QString(load.text).replace("\r\n", "\n"))
            << load.tag;
    }
}

TEST_F(HelpWindowTest, TypingChangesNothingButCaretAndSelectionWork) {
    F_HELP help;
    help.setTag("0");
    help.Form_Load();
    help.show();
    help.AFF_HLP->setFocus();
    const QString before = help.AFF_HLP->toPlainText();
    QGuiApplication::clipboard()->setText("pasted");

    QTest::keyClicks(help.AFF_HLP, "abc 123");
    QTest::keyClick(help.AFF_HLP, Qt::Key_Backspace);
    QTest::keyClick(help.AFF_HLP, Qt::Key_Delete);
    QTest::keyClick(help.AFF_HLP, Qt::Key_Return);
    QTest::keyClick(help.AFF_HLP, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(help.AFF_HLP, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(help.AFF_HLP->toPlainText(), before);

    const int start = help.AFF_HLP->textCursor().position();
    QTest::keyClick(help.AFF_HLP, Qt::Key_Down);
    QTest::keyClick(help.AFF_HLP, Qt::Key_Down);
    EXPECT_GT(help.AFF_HLP->textCursor().position(), start);
    QTest::keyClick(help.AFF_HLP, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(help.AFF_HLP->textCursor().selectedText().size(), before.size());
}

TEST_F(HelpWindowTest, EachOpeningIsANewModalWindowWithTheChosenText) {
    QWidget owner;
    for (int tag : {1, 0}) {
        QString text;
        bool modal = false;
        test::whenModalOpens([&](QWidget* window) {
            auto* help = qobject_cast<F_HELP*>(window);
            ASSERT_NE(help, nullptr);
            text = help->text();
            modal = help->isModal();
        });
        F_HELP::open(&owner, tag);
        EXPECT_TRUE(modal);
        EXPECT_EQ(text, F_HELP::helpText(tag));
        EXPECT_EQ(owner.findChildren<F_HELP*>().size(), 0);
    }
}

}  // namespace
}  // namespace kest
