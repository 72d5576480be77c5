#include "ui/GeneralFrame.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "ui/WindowWidgets.h"

namespace kest {

GeneralFrame::GeneralFrame(QWidget* parent) : QGroupBox(parent) {
    setObjectName(QStringLiteral("Frame4"));
    placeTw(this, 3240, 285, 3090, 1560);

    placeTw(makeLabel(this, "Label1(11)", "Target Windows Name"), 360, 345, 1635, 195);
    INP_TARGET_WIN = new QLineEdit(this);
    INP_TARGET_WIN->setObjectName("INP_TARGET_WIN");
    INP_TARGET_WIN->setToolTip("Target Windows Name (Leave Blank for Current Active Windows)");
    placeTw(INP_TARGET_WIN, 75, 585, 2955, 285);

    SW_UPPER = new QCheckBox("         U.Case", this);
    SW_UPPER->setObjectName("SW_UPPER");
    placeTw(SW_UPPER, 75, 915, 1350, 240);
    Picture1_8 = new PictureBox(8, ":/mainwindow/arrow.png", this);
    placeTw(Picture1_8, 300, 930, 435, 195);
    Picture1_8->setScaledContents(true);

    B_HELP_PREF_SUF_0 = makePictureButton(this, "B_HELP_PREF_SUF(0)", ":/mainwindow/help.png");
    placeTw(B_HELP_PREF_SUF_0, 2220, 960, 225, 225);
    placeTw(makeLabel(this, "Label1(1)", "Prefix"), 1740, 1005, 480, 195);
    placeTw(makeLabel(this, "Label1(9)", "Sufix"), 2535, 1005, 480, 195);
    INP_PREFIX = new QLineEdit(this);
    INP_PREFIX->setObjectName("INP_PREFIX");
    placeTw(INP_PREFIX, 1620, 1200, 720, 285);
    INP_SUFFIX = new QLineEdit(this);
    INP_SUFFIX->setObjectName("INP_SUFFIX");
    placeTw(INP_SUFFIX, 2325, 1200, 720, 285);

    SW_API_KB = new QCheckBox("    API KB user32", this);
    SW_API_KB->setObjectName("SW_API_KB");
    SW_API_KB->setToolTip("Use Windows API Keyboard (keybd_event user32)");
    placeTw(SW_API_KB, 75, 1170, 1620, 300);
    IMG_WIN = new QLabel(this);
    IMG_WIN->setObjectName("IMG_WIN");
    IMG_WIN->setPixmap(QPixmap(":/mainwindow/win.png"));
    placeTw(IMG_WIN, 300, 1200, 225, 195);
    // The icon sits over the caption; clicks go through it to the box.
    IMG_WIN->setAttribute(Qt::WA_TransparentForMouseEvents);
    SW_API_KB->lower();
    SW_UPPER->lower();

    connect(SW_UPPER, &QCheckBox::stateChanged, this, &GeneralFrame::SW_UPPER_Click);
}

void GeneralFrame::SW_UPPER_Click() {
    if (SW_UPPER->checkState() == Qt::Checked) {
        SW_API_KB->setCheckState(Qt::Unchecked);
        SW_API_KB->setEnabled(false);
        IMG_WIN->setEnabled(false);
    } else {
        SW_API_KB->setEnabled(true);
        IMG_WIN->setEnabled(true);
    }
}

}  // namespace kest
