#include "ui/FileFrame.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/ChoseFileDialog.h"
#include "ui/WindowWidgets.h"

namespace kest {

FileFrame::FileFrame(QWidget* parent) : QGroupBox(parent) {
    setObjectName(QStringLiteral("Frame8"));
    placeTw(this, 75, 1215, 3120, 630);

    INP_FILE_DIR = new QLineEdit("C:\\FILE_IN.TXT", this);
    INP_FILE_DIR->setObjectName("INP_FILE_DIR");
    placeTw(INP_FILE_DIR, 60, 285, 2610, 285);
    B_FILE_CHOSE = new QPushButton("...", this);
    B_FILE_CHOSE->setObjectName("B_FILE_CHOSE");
    QFont bold = B_FILE_CHOSE->font();
    bold.setBold(true);
    B_FILE_CHOSE->setFont(bold);
    B_FILE_CHOSE->setProperty(kBoldProperty, true);
    placeTw(B_FILE_CHOSE, 2685, 285, 375, 285);
    AFF_FILE_STATUS = new QLabel("CLOSE", this);
    AFF_FILE_STATUS->setObjectName("AFF_FILE_STATUS");
    AFF_FILE_STATUS->setToolTip("FILE STATUS");
    AFF_FILE_STATUS->setAlignment(Qt::AlignCenter);
    placeTw(AFF_FILE_STATUS, 1830, -15, 1230, 240);

    connect(INP_FILE_DIR, &QLineEdit::textChanged, this, &FileFrame::INP_FILE_DIR_Change);
    connect(B_FILE_CHOSE, &QPushButton::clicked, this, &FileFrame::B_FILE_CHOSE_Click);
    connect(&fileChannel, &FileChannel::statusChanged, this,
            [this](const QString& text, StatusRole role) {
                AFF_FILE_STATUS->setText(text);
                showRole(AFF_FILE_STATUS, role);
                const QString why = fileChannel.failureReason();
                AFF_FILE_STATUS->setToolTip(why.isEmpty() ? QStringLiteral("FILE STATUS")
                                                          : QStringLiteral("FILE STATUS: ") + why);
            });
    INP_FILE_DIR_Change();
}

void FileFrame::INP_FILE_DIR_Change() {
    runHandler("INP_FILE_DIR_Change", [this] {
        INP_FILE_DIR->setToolTip(INP_FILE_DIR->text());
        B_FILE_CHOSE->setToolTip(INP_FILE_DIR->text());
        fileChannel.setPath(INP_FILE_DIR->text());
    });
}

void FileFrame::B_FILE_CHOSE_Click() {
    runHandler("B_FILE_CHOSE_Click", [this] { F_CHOSE_FILE::chooseInto(this, INP_FILE_DIR); });
}

}  // namespace kest
