#include "ui/SearchReplaceFrame.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "ui/Colours.h"
#include "ui/WindowWidgets.h"

namespace kest {

namespace {

QListWidget* makeList(QWidget* parent, const QString& name, const QString& tip) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setToolTip(tip);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
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
        int index, x, y;
        const char* image;
        const char* tip;
    } icons[] = {
        {14, 450, 390, ":/mainwindow/serial.png", "Serial Com Port (RS-232)"},
        {13, 795, 405, ":/mainwindow/file.png", "File"},
        {9, 1125, 390, ":/mainwindow/tcp.png", "Ethernet TCP Connection"},
        {17, 1995, 240, ":/mainwindow/keyboard.png", "Keyboard Buffer"},
        {16, 2655, 390, ":/mainwindow/serial.png", "Serial Com Port (RS-232)"},
        {10, 3195, 390, ":/mainwindow/tcp.png", "Ethernet TCP Connection"},
    };
    for (const auto& icon : icons) {
        auto* picture = new PictureBox(icon.index, icon.image, this);
        picture->setToolTip(icon.tip);
        const int width = icon.index == 17 ? 420 : 360;
        placeTw(picture, icon.x, icon.y, width, 360);
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
    B_TEST_SEND = new QPushButton("Test", this);
    B_TEST_SEND->setObjectName("B_TEST_SEND");
    placeTw(B_TEST_SEND, 3555, 2250, 480, 255);
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
