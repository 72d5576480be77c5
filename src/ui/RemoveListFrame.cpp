#include "ui/RemoveListFrame.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "engine/NumericValue.h"
#include "ui/WindowWidgets.h"

namespace kest {

RemoveListFrame::RemoveListFrame(QWidget* parent) : QGroupBox(parent) {
    setObjectName(QStringLiteral("Frame2"));
    placeTw(this, 4230, 2565, 2100, 2910);

    placeTw(makeLabel(this, "Label1(8)", "ASCII Character(s)", true), 450, 360, 1590, 195);
    LST_REMOVE_CAR = new QListWidget(this);
    LST_REMOVE_CAR->setObjectName("LST_REMOVE_CAR");
    placeTw(LST_REMOVE_CAR, 630, 585, 1410, 1620);
    placeTw(makeLabel(this, "Label1(5)", "ASCII:", true), 60, 2250, 585, 195);
    INP_REMOVE_CAR = new QLineEdit(this);
    INP_REMOVE_CAR->setObjectName("INP_REMOVE_CAR");
    INP_REMOVE_CAR->setToolTip("ASCII value 1 to 255 (Example 13 = Enter)");
    placeTw(INP_REMOVE_CAR, 630, 2205, 1410, 300);
    INP_REMOVE_CAR->installEventFilter(this);
    B_ADD_REMOVE_CAR = makePictureButton(this, "B_ADD_REMOVE_CAR", ":/mainwindow/add.png");
    placeTw(B_ADD_REMOVE_CAR, 675, 2520, 675, 330);
    B_DEL_REMOVE_CAR = makePictureButton(this, "B_DEL_REMOVE_CAR", ":/mainwindow/delete.png");
    placeTw(B_DEL_REMOVE_CAR, 1365, 2520, 675, 330);

    connect(B_ADD_REMOVE_CAR, &QPushButton::clicked, this,
            &RemoveListFrame::B_ADD_REMOVE_CAR_Click);
    connect(B_DEL_REMOVE_CAR, &QPushButton::clicked, this,
            &RemoveListFrame::B_DEL_REMOVE_CAR_Click);
}

void RemoveListFrame::B_ADD_REMOVE_CAR_Click() {
    // Pasting can bring any text; only the upper bound is a rule of the list.
    const double value = numericValue(INP_REMOVE_CAR->text().toLatin1().toStdString());
    if (value > 255) return;
    LST_REMOVE_CAR->addItem(QString::fromStdString(decimalText(value)));
}

void RemoveListFrame::B_DEL_REMOVE_CAR_Click() {
    const int row = LST_REMOVE_CAR->currentRow();
    if (row < 0) return;
    delete LST_REMOVE_CAR->takeItem(row);
    // Nothing is selected after a delete, so a second press deletes nothing more.
    LST_REMOVE_CAR->setCurrentRow(-1);
}

QChar RemoveListFrame::INP_REMOVE_CAR_KeyPress(QChar typed) {
    return typed.isDigit() && typed.unicode() < 128 ? typed : QChar('0');
}

bool RemoveListFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == INP_REMOVE_CAR && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Shortcuts (copy, paste, select all) and keys that type nothing pass; every
        // typed character, Backspace and Enter included, becomes a digit.
        const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
        const QString text = key->text();
        // Delete edits as usual: it is a key of its own, not a typed character; Tab
        // moves the focus on, as it does from every field.
        const bool typed = text.size() == 1 && text.front() != QChar(0x7F) &&
                           key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab;
        if (!shortcut && typed) {
            INP_REMOVE_CAR->insert(QString(INP_REMOVE_CAR_KeyPress(text.front())));
            return true;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

}  // namespace kest
