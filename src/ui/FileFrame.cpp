#include "ui/FileFrame.h"

#include <QDir>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/DosPaths.h"
#include "ui/ChoseFileDialog.h"
#include "ui/WindowWidgets.h"

namespace kest {

namespace {

// The path, and for a DOS path where its drive lies on this system: "C:\" is a folder
// of the program's own on Linux, and a user looking for the file must know which.
QString pathTip(const QString& path) {
    const QString trimmed = path.trimmed();
    if (!dos::isDosPath(trimmed)) return path;
    const QString native = QDir::toNativeSeparators(dos::nativePath(trimmed));
    if (native.compare(trimmed, Qt::CaseInsensitive) == 0) return path;  // Windows
    const QString drive = trimmed.left(2).toUpper() + QLatin1Char('\\');
    return path + QStringLiteral("\n%1 is %2 on this system: this file is %3")
                      .arg(drive, QDir::toNativeSeparators(dos::nativePath(drive)), native);
}

}  // namespace

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
    const auto showStatus = [this] {
        AFF_FILE_STATUS->setText(fileChannel.status());
        showRole(AFF_FILE_STATUS, fileChannel.statusRole());
        const QString why = fileChannel.failureReason();
        AFF_FILE_STATUS->setToolTip(why.isEmpty() ? QStringLiteral("FILE STATUS")
                                                  : QStringLiteral("FILE STATUS: ") + why);
    };
    // An error of another kind may follow an error: the tip follows the reason too.
    connect(&fileChannel, &FileChannel::statusChanged, this, showStatus);
    connect(&fileChannel, &FileChannel::failureChanged, this, showStatus);
    INP_FILE_DIR_Change();
}

void FileFrame::INP_FILE_DIR_Change() {
    runHandler("INP_FILE_DIR_Change", [this] {
        const QString tip = pathTip(INP_FILE_DIR->text());
        INP_FILE_DIR->setToolTip(tip);
        B_FILE_CHOSE->setToolTip(tip);
        fileChannel.setPath(INP_FILE_DIR->text());
    });
}

void FileFrame::B_FILE_CHOSE_Click() {
    runHandler("B_FILE_CHOSE_Click", [this] { F_CHOSE_FILE::chooseInto(this, INP_FILE_DIR); });
}

}  // namespace kest
