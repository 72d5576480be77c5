#include <gtest/gtest.h>

#include <QClipboard>
#include <QTest>
#include <QTextCursor>

#include "ui/HelpWindow.h"
#include "ui/Maker.h"
#include "ui/OffscreenApp.h"

namespace kest {
namespace {

QStringList linesOf(const QString& text) {
    QStringList lines = text.split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines.last(), "") << "the text must end with CR LF";
    lines.removeLast();
    return lines;
}

QStringList service() {
    QStringList lines;
    for (const char* line : kMakerServiceLines) lines << line;
    return lines;
}

TEST(HelpTexts, GeneralHelpLineByLine) {
    const test::ConfigHome home;
    const QStringList lines = linesOf(F_HELP::helpText(0));
    const QStringList head = {
        "PASSWORD FIELD:",
        "OPEN.THE.PANEL = To change the configuration",
        "END = Close this Software",
        "",
        "To use Multi-Port, start the .exe with this syntax:",
        "Kest_Redirect_Serial_to_KB.exe /#INSTANCE_NAME#",
        "The INSTANCE_NAME can contain any characters and or numbers",
        "Each Serial Port can have a different configuration !",
        "Example: Kest_Redirect_Serial_to_KB.exe /#Scanner_001#",
        "Example: Kest_Redirect_Serial_to_KB.exe /#Scanner_002#",
        "Example: Kest_Redirect_Serial_to_KB.exe /#Scanner_003#",
        "",
    };
    ASSERT_EQ(lines.size(), 24);
    EXPECT_EQ(lines.mid(0, 12), head);
    EXPECT_EQ(lines.mid(12, 5), service());
    // Then where the log file of the instance lies, in the base directory.
    EXPECT_EQ(lines.at(17), "");
    EXPECT_EQ(lines.at(18), "LOG FILE (warnings and errors):");
    EXPECT_EQ(lines.at(19), home.base() + "/kest-redirect_INSTANCE_NAME.log");
    EXPECT_EQ(lines.at(20), "(" + home.base() + "/kest-redirect.log without an instance name)");
    // And how an instance starts at login.
    EXPECT_EQ(lines.at(21), "");
    EXPECT_EQ(lines.at(22), "START AT LOGIN (per instance; off instead of on to stop it):");
    EXPECT_EQ(lines.at(23), "Kest_Redirect_Serial_to_KB --autostart on /#INSTANCE_NAME#");
}

TEST(HelpTexts, TokenReferenceLineByLine) {
    const QStringList lines = linesOf(F_HELP::helpText(1));
    ASSERT_EQ(lines.size(), 79);
    auto line = [&](int n) { return lines.at(n - 1); };  // numbered from 1, as documented
    EXPECT_EQ(lines.mid(0, 5), service());
    for (int empty : {6, 9, 14, 22, 70, 76, 78}) EXPECT_EQ(line(empty), "") << empty;
    EXPECT_EQ(line(7),
              "'Kest Redirect Serial COM Port and or TCP connection to Keyboard' can search and "
              "replace string: from 'Input From Serial/TCP Connection' value and replace by "
              "'Output to Keyboard' value");
    EXPECT_EQ(line(8),
              "*** This software convert automaticly the character ^ to a PAUSE of .2 Seconds");
    EXPECT_EQ(line(10), "**********[Search Input from TCP/SERIAL] Possible Values **********");
    EXPECT_EQ(line(13), "Example to search ASCII 2 character: {ASCII:2}");
    EXPECT_EQ(line(15), "**********[Output to Serial and or TCP Port] Possible Values **********");
    EXPECT_EQ(line(16), "{TX_SERIAL[String to Send]}");
    EXPECT_EQ(line(17), "{TX_TCP[String to Send]}");
    EXPECT_EQ(line(20), "Example 1: {TX_SERIAL[Hello{ASCII:13}{ASCII:10}]}");
    EXPECT_EQ(line(21), "Example 2: {TX_TCP[Hello{ASCII:13}{ASCII:10}]}");
    EXPECT_EQ(line(23), "**********[Output to Keyboard] Possible Values **********");
    EXPECT_EQ(line(24),
              "- You can activate a Target Windows Application with this Sequence:  "
              "APP[Window_Name]");
    EXPECT_EQ(line(28), "Key Code");
    EXPECT_EQ(line(72), "Key Code");
    EXPECT_EQ(lines.mid(72, 3), (QStringList{"SHIFT +", "CTRL  ^", "ALT %"}));
    // The explanations are the program's own words, one line each, but must name the
    // notation they explain.
    EXPECT_TRUE(line(26).contains("{+}"));
    EXPECT_TRUE(line(77).contains("+(EC)") && line(77).contains("+EC"));
    EXPECT_TRUE(line(79).contains("{LEFT 42}") && line(79).contains("{h 10}"));
    for (int paragraph : {25, 26, 27, 71, 77, 79}) EXPECT_GT(line(paragraph).size(), 20);
}

TEST(HelpTexts, KeyTableInOrder) {
    const QStringList lines = linesOf(F_HELP::helpText(1));
    QStringList expected = {
        "SEND TO WINDOWS DESKTOP {WinDesk}",
        "SEND TO CURRENT WINDOWS {WinCur}",
        "START MENU WINDOWS {StartWin}",
        "BACKSPACE {BACKSPACE}, {BS}, or {BKSP}",
        "BREAK {BREAK}",
        "CAPS LOCK {CAPSLOCK}",
        "DEL or DELETE {DELETE} or {DEL}",
        "DOWN ARROW {DOWN}",
        "END {END}",
        "ENTER  {ENTER}or ~",
        "ESC {ESC}",
        "HELP {HELP}",
        "HOME {HOME}",
        "INS or INSERT {INSERT} or {INS}",
        "LEFT ARROW {LEFT}",
        "NUM LOCK {NUMLOCK}",
        "PAGE DOWN {PGDN}",
        "PAGE UP {PGUP}",
        "PRINT SCREEN {PRTSC}",
        "RIGHT ARROW {RIGHT}",
        "SCROLL LOCK {SCROLLLOCK}",
        "TAB {TAB}",
        "UP ARROW {UP}",
        "Current System Time {CURTIME}",
        "Current System Date {CURDATE:DD-MM-YYYY}",
    };
    for (int f = 1; f <= 16; ++f) expected << QString("F%1 {F%1}").arg(f);
    EXPECT_EQ(lines.mid(28, 41), expected);
}

TEST(HelpTexts, UnknownTagGivesNoText) {
    EXPECT_EQ(F_HELP::helpText(2), "");
    EXPECT_EQ(F_HELP::helpText(-1), "");
}

class HelpWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { test::offscreenApp(); }
};

TEST_F(HelpWindowTest, LoadRebuildsFromTheTagEachTime) {
    F_HELP help;
    EXPECT_EQ(help.AFF_HLP->toPlainText(), "Text1");
    help.setTag("0");
    help.Form_Load();
    EXPECT_EQ(help.text(), F_HELP::helpText(0));
    help.setTag("1");
    help.Form_Load();
    EXPECT_EQ(help.text(), F_HELP::helpText(1));  // emptied first: no general help left
    EXPECT_FALSE(help.AFF_HLP->toPlainText().contains("PASSWORD FIELD:"));
    help.setTag("");
    help.Form_Load();
    EXPECT_EQ(help.text(), F_HELP::helpText(0));  // an empty tag counts as 0
    help.setTag("7");
    help.Form_Load();
    EXPECT_EQ(help.text(), "");
    EXPECT_EQ(help.AFF_HLP->toPlainText(), "");
    help.setTag(" 1 ");
    help.Form_Load();
    EXPECT_EQ(help.text(), F_HELP::helpText(1));
}

TEST_F(HelpWindowTest, ShowsOneLinePerLine) {
    F_HELP help;
    help.setTag("1");
    help.Form_Load();
    QStringList shown = help.AFF_HLP->toPlainText().split('\n');
    // The closing CR LF leaves an empty last line.
    ASSERT_EQ(shown.takeLast(), "");
    EXPECT_EQ(shown, F_HELP::tokenReferenceLines());
    EXPECT_EQ(help.AFF_HLP->document()->blockCount(), 80);
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

TEST_F(HelpWindowTest, OpenShowsModallyWithTheChosenText) {
    QWidget owner;
    QString caption, tag, text;
    QStringList links;
    bool modal = false;
    test::whenModalOpens([&](QWidget* window) {
        auto* help = qobject_cast<F_HELP*>(window);
        ASSERT_NE(help, nullptr);
        caption = help->windowTitle();
        tag = help->tag();
        text = help->text();
        modal = help->isModal();
        links << help->URLLink1->text() << help->URLLink1->url() << help->URLLink2->text()
              << help->URLLink2->url();
    });
    F_HELP::open(&owner, 1);
    EXPECT_TRUE(modal);
    EXPECT_EQ(caption,
              "Help Kest Redirect Serial COM Port to Keyboard   "
              "https://kest-redirect.example.org");
    EXPECT_EQ(tag, "1");
    EXPECT_EQ(text, F_HELP::helpText(1));
    EXPECT_EQ(links,
              (QStringList{kMakerWebAddress, kMakerWebAddress, "UPDATE ???", kMakerProductPage}));

    // A second opening is a new window, rebuilt from its own tag.
    test::whenModalOpens([&](QWidget* window) { text = qobject_cast<F_HELP*>(window)->text(); });
    F_HELP::open(&owner, 0);
    EXPECT_EQ(text, F_HELP::helpText(0));
    EXPECT_EQ(owner.findChildren<F_HELP*>().size(), 0);
}

}  // namespace
}  // namespace kest
