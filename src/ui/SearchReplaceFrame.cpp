#include "ui/SearchReplaceFrame.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "ui/Colours.h"
#include "ui/WindowWidgets.h"

namespace kest {

namespace {

// The channel icons stand between the column headings (ending at 390) and the lists
// (starting at 615).
constexpr int kChannelIconTop = 390;
constexpr int kChannelIconSize = 225;

QListWidget* makeList(QWidget* parent, const QString& name, const QString& tip) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setToolTip(tip);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

// A rule is one line of each rule file: a pasted line break would split the row and
// shift every later search text against its replacement. The notation types the same
// character, since the pipeline decodes it.
QString withLineBreaksAsNotation(QString text) {
    text.replace(u'\r', QStringLiteral("{ASCII:13}"));
    text.replace(u'\n', QStringLiteral("{ASCII:10}"));
    return text;
}

void keepOnOneLine(QLineEdit* field) {
    QObject::connect(field, &QLineEdit::textChanged, field, [field](const QString& text) {
        if (!text.contains(u'\r') && !text.contains(u'\n')) return;
        const QString head = withLineBreaksAsNotation(text.left(field->cursorPosition()));
        field->setText(withLineBreaksAsNotation(text));
        field->setCursorPosition(int(head.size()));
    });
}

QString rowText(QListWidget* list) {
    const int row = list->currentRow();
    return row >= 0 && row < list->count() ? list->item(row)->text() : QString();
}

}  // namespace

SearchReplaceFrame::SearchReplaceFrame(QWidget* parent) : QGroupBox(parent) {
    setObjectName(QStringLiteral("Frame1"));
    placeTw(this, 75, 2565, 4110, 2910);

    placeTw(makeLabel(this, "Label1(2)", "Input from", true), 510, 195, 885, 195);
    const struct {
        int index, x;
        const char* image;
        const char* tip;
    } icons[] = {
        {14, 450, ":/mainwindow/serial.png", "Serial Com Port (RS-232)"},
        {13, 795, ":/mainwindow/file.png", "File"},
        {9, 1125, ":/mainwindow/tcp.png", "Ethernet TCP Connection"},
        {17, 1980, ":/mainwindow/keyboard.png", "Keyboard Buffer"},  // ends before "Output to"
        {16, 2655, ":/mainwindow/serial.png", "Serial Com Port (RS-232)"},
        {10, 3195, ":/mainwindow/tcp.png", "Ethernet TCP Connection"},
    };
    for (const auto& icon : icons) {
        auto* picture = new PictureBox(icon.index, icon.image, this);
        picture->setToolTip(icon.tip);
        if (icon.index == 17) {
            placeTw(picture, icon.x, 240, 420, 360);
        } else {
            // The lists would cover the lower half of a full-size icon: the icon is
            // drawn smaller, in the room between the headings and the lists.
            picture->setScaledContents(true);
            placeTw(picture, icon.x, kChannelIconTop, kChannelIconSize, kChannelIconSize);
        }
        pictures.push_back(picture);
    }
    placeTw(makeLabel(this, "Label1(6)", "Output to", true), 2400, 150, 810, 195);
    B_HELP_PREF_SUF_1 = makePictureButton(this, "B_HELP_PREF_SUF(1)", ":/mainwindow/help.png");
    placeTw(B_HELP_PREF_SUF_1, 3270, 135, 225, 225);

    LST_TOUCHES[0] = makeList(this, "LST_TOUCHES[0]", "Search");
    placeTw(LST_TOUCHES[0], 60, 615, 1515, 1620);
    LST_TOUCHES[1] = makeList(this, "LST_TOUCHES[1]", "Replace By");
    placeTw(LST_TOUCHES[1], 1575, 615, 2475, 1620);

    INP_INPUT = new QLineEdit(this);
    INP_INPUT->setObjectName("INP_INPUT");
    placeTw(INP_INPUT, 60, 2235, 1515, 285);
    INP_OUTPUT = new QLineEdit(this);
    INP_OUTPUT->setObjectName("INP_OUTPUT");
    placeTw(INP_OUTPUT, 1575, 2235, 1980, 285);
    keepOnOneLine(INP_INPUT);
    keepOnOneLine(INP_OUTPUT);
    B_TEST_SEND = new QPushButton("Test", this);
    B_TEST_SEND->setObjectName("B_TEST_SEND");
    placeTw(B_TEST_SEND, 3555, 2250, 480, 255);
    // Under the output field, in the room left of the add button: the layout around it
    // stays as it was.
    B_RULE_TESTER = new QPushButton("Rule tester", this);
    B_RULE_TESTER->setObjectName("B_RULE_TESTER");
    B_RULE_TESTER->setToolTip("Try the rules on a sample without typing anything");
    placeTw(B_RULE_TESTER, 1575, 2550, 1080, 285);
    B_ADD = makePictureButton(this, "B_ADD", ":/mainwindow/add.png");
    placeTw(B_ADD, 2685, 2535, 675, 330);
    B_DEL = makePictureButton(this, "B_DEL", ":/mainwindow/delete.png");
    placeTw(B_DEL, 3375, 2535, 675, 330);

    connect(B_ADD, &QPushButton::clicked, this, &SearchReplaceFrame::B_ADD_Click);
    connect(B_DEL, &QPushButton::clicked, this, &SearchReplaceFrame::B_DEL_Click);
    for (int k = 0; k < 2; ++k) {
        connect(LST_TOUCHES[k], &QListWidget::currentRowChanged, this,
                [this, k] { LST_TOUCHES_Click(k); });
        connect(LST_TOUCHES[k], &QListWidget::itemClicked, this,
                [this, k] { LST_TOUCHES_Click(k); });
    }
}

void SearchReplaceFrame::B_ADD_Click() {
    LST_TOUCHES[0]->addItem(INP_INPUT->text());
    LST_TOUCHES[1]->addItem(INP_OUTPUT->text());
}

void SearchReplaceFrame::LST_TOUCHES_Click(int index) {
    if (deleting_) return;
    QListWidget* other = LST_TOUCHES[index == 0 ? 1 : 0];
    // Setting an unchanged row raises no signal, so the exchange between the two
    // lists ends after one round.
    const int row = LST_TOUCHES[index]->currentRow();
    if (other->currentRow() != row) other->setCurrentRow(row < other->count() ? row : -1);
    INP_INPUT->setText(rowText(LST_TOUCHES[0]));
    INP_OUTPUT->setText(rowText(LST_TOUCHES[1]));
}

void SearchReplaceFrame::B_DEL_Click() {
    const int row0 = LST_TOUCHES[0]->currentRow();
    if (row0 < 0) return;
    const int row1 = LST_TOUCHES[1]->currentRow();
    // Removing a row moves Qt's current row; the lists must not re-pair themselves
    // (and refill the editor fields) half-way through the delete.
    deleting_ = true;
    delete LST_TOUCHES[0]->takeItem(row0);
    if (row1 >= 0) delete LST_TOUCHES[1]->takeItem(row1);
    for (QListWidget* list : LST_TOUCHES) {
        list->setCurrentRow(-1);
        list->clearSelection();
    }
    deleting_ = false;
}

}  // namespace kest
