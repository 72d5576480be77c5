#include "ui/HelpWindow.h"

#include <QDir>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "engine/NumericValue.h"
#include "platform/Autostart.h"
#include "platform/LogFile.h"
#include "ui/LayoutFont.h"
#include "ui/Maker.h"

namespace kest {

namespace {

// Client area of the window as designed: 9495 x 7695 twips.
constexpr int kClientWidth = 633;
constexpr int kClientHeight = 513;

const char* const kTagProperty = "Tag";

QStringList serviceLines() {
    QStringList lines;
    for (const char* line : kMakerServiceLines) lines << QString::fromUtf8(line);
    return lines;
}

QStringList keyTableLines() {
    QStringList lines = {
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
    for (int f = 1; f <= 16; ++f) lines << QStringLiteral("F%1 {F%1}").arg(f);
    return lines;
}

}  // namespace

F_HELP::F_HELP(QWidget* parent)
    : QDialog(parent),
      AFF_HLP(new QPlainTextEdit(this)),
      URLLink1(new URLLink(this)),
      URLLink2(new URLLink(this)) {
    setObjectName(QStringLiteral("F_HELP"));
    // The same face as the main window, whose links and texts it repeats.
    setFont(layoutFont());
    setWindowTitle(QStringLiteral("Help Kest Redirect Serial COM Port to Keyboard   ") +
                   QString::fromUtf8(kMakerWebAddress));
    AFF_HLP->setObjectName(QStringLiteral("AFF_HLP"));
    AFF_HLP->setPlainText(QStringLiteral("Text1"));
    AFF_HLP->setProperty(kTagProperty, QStringLiteral("0"));
    AFF_HLP->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Typing, deleting and pasting must not change the text; moving the caret,
    // selecting and copying still work, so the keyboard can scroll and copy.
    AFF_HLP->setReadOnly(true);
    AFF_HLP->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    URLLink1->setObjectName(QStringLiteral("URLLink1"));
    URLLink1->setText(QString::fromUtf8(kMakerWebAddress));
    URLLink1->setUrl(QString::fromUtf8(kMakerWebAddress));
    URLLink1->setShowToolTip(true);
    URLLink2->setObjectName(QStringLiteral("URLLink2"));
    URLLink2->setText(QStringLiteral("UPDATE ???"));
    URLLink2->setUrl(QString::fromUtf8(kMakerProductPage));
    URLLink2->setShowToolTip(true);

    auto* links = new QHBoxLayout;
    links->setContentsMargins(3, 0, 3, 2);
    links->addWidget(URLLink1);
    links->addStretch(1);
    links->addWidget(URLLink2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(AFF_HLP, 1);
    layout->addLayout(links);
    resize(kClientWidth, kClientHeight);
}

void F_HELP::open(QWidget* parent, int tag) {
    F_HELP window(parent);
    window.setTag(QString::number(tag));
    window.Form_Load();
    window.exec();
}

QString F_HELP::tag() const {
    return AFF_HLP->property(kTagProperty).toString();
}

void F_HELP::setTag(const QString& tag) {
    AFF_HLP->setProperty(kTagProperty, tag);
}

void F_HELP::Form_Load() {
    text_.clear();
    AFF_HLP->clear();
    const double which = numericValue(tag().toStdString());
    if (which == double(kGeneralHelp))
        text_ = helpText(kGeneralHelp);
    else if (which == double(kTokenReference))
        text_ = helpText(kTokenReference);
    // The widget keeps paragraphs, not line-end characters: one line per line, and
    // the closing line end leaves an empty last line, as the text ends with CR LF.
    QString shown = text_;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    AFF_HLP->setPlainText(shown);
}

QString F_HELP::helpText(int tag) {
    QStringList lines;
    if (tag == kGeneralHelp)
        lines = generalHelpLines();
    else if (tag == kTokenReference)
        lines = tokenReferenceLines();
    QString text;
    for (const QString& line : lines) text += line + QStringLiteral("\r\n");
    return text;
}

QStringList F_HELP::generalHelpLines() {
    QStringList lines = {
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
    lines << serviceLines();
    // A copy started from the menu or at login has no terminal: say where its
    // warnings and errors are kept. After the documented lines, which stay in place.
    lines << ""
          << "LOG FILE (warnings and errors):"
          << QDir::toNativeSeparators(LogFile::pathFor(QStringLiteral("_INSTANCE_NAME")))
          << QStringLiteral("(%1 without an instance name)")
                 .arg(QDir::toNativeSeparators(LogFile::pathFor(QString())));
    // Where the program itself sets up start at login, the user reads here how.
    if (!autostart::entryPath(QString()).isEmpty())
        lines << ""
              << "START AT LOGIN (per instance; off instead of on to stop it):"
              << "Kest_Redirect_Serial_to_KB --autostart on /#INSTANCE_NAME#";
    return lines;
}

QStringList F_HELP::tokenReferenceLines() {
    QStringList lines = serviceLines();
    lines << ""
          << "'Kest Redirect Serial COM Port and or TCP connection to Keyboard' can search and "
             "replace string: from 'Input From Serial/TCP Connection' value and replace by "
             "'Output to Keyboard' value"
          << "*** This software convert automaticly the character ^ to a PAUSE of .2 Seconds"
          << ""
          << "**********[Search Input from TCP/SERIAL] Possible Values **********"
          << "To search special ASCII character use this sequence:"
          << "{ASCII:XXX}"
          << "Example to search ASCII 2 character: {ASCII:2}"
          << ""
          << "**********[Output to Serial and or TCP Port] Possible Values **********"
          << "{TX_SERIAL[String to Send]}"
          << "{TX_TCP[String to Send]}"
          << "To send special ASCII character use this sequence:"
          << "{ASCII:XXX}"
          << "Example 1: {TX_SERIAL[Hello{ASCII:13}{ASCII:10}]}"
          << "Example 2: {TX_TCP[Hello{ASCII:13}{ASCII:10}]}"
          << ""
          << "**********[Output to Keyboard] Possible Values **********"
          << "- You can activate a Target Windows Application with this Sequence:  "
             "APP[Window_Name]"
          << "Each ordinary key is written as its own character: A types A, and a text such as "
             "ABC types its characters one after another."
          << "The characters plus (+), caret (^), percent (%), tilde (~) and parentheses ( ) "
             "have special meanings; to type one of them, write it in braces, for example {+} "
             "or {(}; square brackets are written the same way, {[} and {]}, and a brace itself "
             "as {{} or {}}."
          << "Keys that show no character when pressed, such as Enter, Tab and the action keys, "
             "are written with the following codes:"
          << "Key Code";
    lines << keyTableLines();
    lines << ""
          << "To combine a key with Shift, Ctrl or Alt, write one or more of the following codes "
             "in front of it:"
          << "Key Code"
          << "SHIFT +"
          << "CTRL  ^"
          << "ALT %"
          << ""
          << "To hold Shift, Ctrl or Alt down while several keys are pressed, put those keys in "
             "parentheses after the code: +(EC) holds Shift for both E and C, while +EC holds "
             "Shift for E only."
          << ""
          << "To repeat a key, write the key, a space and the number of times in braces: {LEFT 42} "
             "presses the left arrow 42 times and {h 10} types h ten times.";
    return lines;
}

}  // namespace kest
