#include "ui/SerialFrame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include "ui/WindowWidgets.h"

namespace kest {

SerialFrame::SerialFrame(QWidget* parent) : QGroupBox(parent) {
    setObjectName(QStringLiteral("Frame3"));
    placeTw(this, 75, 285, 3120, 885);

    placeTw(makeLabel(this, "Label1(0)", "Serial Port #:"), 60, 255, 915, 195);
    INP_COMMPORT = new QLineEdit("0", this);
    INP_COMMPORT->setObjectName("INP_COMMPORT");
    INP_COMMPORT->setToolTip("Serial RS232 COM Port number");
    placeTw(INP_COMMPORT, 990, 195, 435, 285);
    placeTw(makeLabel(this, "Label1(10)", "Config:"), 1455, 255, 495, 195);
    INP_COM_CFG = new QLineEdit("9600,N,8,1", this);
    INP_COM_CFG->setObjectName("INP_COM_CFG");
    INP_COM_CFG->setToolTip("Bauds,Parity,DataBits,StopBit");
    placeTw(INP_COM_CFG, 1965, 195, 1095, 285);

    LST_HANDSHAKING = new QComboBox(this);
    LST_HANDSHAKING->setObjectName("LST_HANDSHAKING");
    LST_HANDSHAKING->setEditable(true);
    LST_HANDSHAKING->setInsertPolicy(QComboBox::NoInsert);
    LST_HANDSHAKING->lineEdit()->setReadOnly(true);
    LST_HANDSHAKING->lineEdit()->installEventFilter(this);
    LST_HANDSHAKING->setEditText("None");
    LST_HANDSHAKING->setToolTip("Handshaking");
    placeTw(LST_HANDSHAKING, 60, 510, 1380, 315);

    SW_DTR = new QCheckBox("DTR", this);
    SW_DTR->setObjectName("SW_DTR");
    SW_DTR->setChecked(true);
    placeTw(SW_DTR, 1575, 540, 645, 255);
    SW_RTS = new QCheckBox("RTS", this);
    SW_RTS->setObjectName("SW_RTS");
    SW_RTS->setChecked(true);
    placeTw(SW_RTS, 2310, 540, 645, 255);

    bindSettledField(INP_COMMPORT, typedPortSettle, typedPortChange_,
                     &SerialFrame::INP_COMMPORT_Change);
    bindSettledField(INP_COM_CFG, typedSettingsSettle, typedSettingsChange_,
                     &SerialFrame::INP_COM_CFG_Change);
    connect(LST_HANDSHAKING, &QComboBox::activated, this, &SerialFrame::LST_HANDSHAKING_Click);
    connect(SW_DTR, &QCheckBox::stateChanged, this, &SerialFrame::SW_DTR_Click);
    connect(SW_RTS, &QCheckBox::stateChanged, this, &SerialFrame::SW_RTS_Click);
    connect(&COMM, &SerialChannel::portStateChanged, this,
            [this](bool, StatusRole role) { showPortState(role); });
    connect(&COMM, &SerialChannel::handshakingNameCorrected, this,
            [this](const QString& name) { LST_HANDSHAKING->setEditText(name); });
}

void SerialFrame::bindSettledField(QLineEdit* field, QTimer& settle, bool& typedChange,
                                   void (SerialFrame::*handler)()) {
    settle.setSingleShot(true);
    settle.setInterval(kTypedPortSettleMs);
    connect(&settle, &QTimer::timeout, this, handler);
    // A typed change is reported as edited before it is reported as changed.
    connect(field, &QLineEdit::textEdited, this, [&settle, &typedChange] {
        typedChange = true;
        settle.start();
    });
    connect(field, &QLineEdit::textChanged, this, [this, &settle, &typedChange, handler] {
        if (typedChange) {
            typedChange = false;
            return;
        }
        // Set from code (the load, the start-up): taken at once.
        settle.stop();
        (this->*handler)();
    });
    const auto takeIfWaiting = [this, &settle, handler] {
        if (!settle.isActive()) return;
        settle.stop();
        (this->*handler)();
    };
    connect(field, &QLineEdit::returnPressed, this, takeIfWaiting);
    connect(field, &QLineEdit::editingFinished, this, takeIfWaiting);
}

void SerialFrame::showPortState(StatusRole role) {
    const QString why = COMM.failureReason();
    const bool failed = role == StatusRole::Failure && !why.isEmpty();
    // Wrong settings are the settings field's fault: it turns red and says which part
    // is wrong; the port, closed meanwhile, is not marked as if it had failed.
    const bool settings = failed && COMM.settingsRejected();
    showRole(INP_COM_CFG, settings ? StatusRole::Failure : StatusRole::Ordinary);
    INP_COM_CFG->setToolTip(settings
                                ? QStringLiteral("Bauds,Parity,DataBits,StopBit - wrong: ") + why
                                : QStringLiteral("Bauds,Parity,DataBits,StopBit"));
    showRole(INP_COMMPORT, settings ? StatusRole::Ordinary : role);
    QString tip = QStringLiteral("Serial RS232 COM Port number");
    if (settings) {
        tip += QStringLiteral(" - not open until the settings beside it are right");
    } else if (failed) {
        tip += QStringLiteral(" - not open: ") + why;
    }
    INP_COMMPORT->setToolTip(tip);
}

void SerialFrame::fillHandshakingItems() {
    // Clearing the items would also clear the shown text, which the load sets later.
    const QString shown = LST_HANDSHAKING->currentText();
    LST_HANDSHAKING->clear();
    LST_HANDSHAKING->addItems({"None", "XonXoff", "Rts", "RtsXonXoff"});
    LST_HANDSHAKING->setCurrentIndex(-1);
    LST_HANDSHAKING->setEditText(shown);
}

// Each setter reopens the port with the number and settings the channel then holds.
void SerialFrame::INP_COMMPORT_Change() {
    runHandler("INP_COMMPORT_Change", [this] { COMM.setPortText(INP_COMMPORT->text()); });
}

void SerialFrame::INP_COM_CFG_Change() {
    runHandler("INP_COM_CFG_Change", [this] { COMM.setSettingsText(INP_COM_CFG->text()); });
}

void SerialFrame::LST_HANDSHAKING_Click() {
    runHandler("LST_HANDSHAKING_Click", [this] {
        const QString shown = COMM.setHandshakingName(LST_HANDSHAKING->currentText());
        if (shown != LST_HANDSHAKING->currentText()) LST_HANDSHAKING->setEditText(shown);
    });
}

void SerialFrame::SW_DTR_Click() {
    runHandler("SW_DTR_Click", [this] { COMM.setDtr(SW_DTR->checkState() == Qt::Checked); });
}

void SerialFrame::SW_RTS_Click() {
    runHandler("SW_RTS_Click", [this] { COMM.setRts(SW_RTS->checkState() == Qt::Checked); });
}

bool SerialFrame::eventFilter(QObject* watched, QEvent* event) {
    // LST_HANDSHAKING_KeyPress: typed keys are discarded, only a choice changes it.
    if (watched == LST_HANDSHAKING->lineEdit() && event->type() == QEvent::KeyPress &&
        !static_cast<QKeyEvent*>(event)->text().isEmpty())
        return true;
    return QGroupBox::eventFilter(watched, event);
}

}  // namespace kest
