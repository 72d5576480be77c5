#include "ui/TcpFrame.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "ui/WindowWidgets.h"

namespace kest {

TcpFrame::TcpFrame(QWidget* parent) : QGroupBox(parent) {
    setObjectName(QStringLiteral("Frame5"));
    placeTw(this, 75, 1875, 3945, 630);

    placeTw(makeLabel(this, "Label1(14)", "IP:"), 60, 345, 210, 195);
    INP_IP_TCP = new QLineEdit("0.0.0.0", this);
    INP_IP_TCP->setObjectName("INP_IP_TCP");
    placeTw(INP_IP_TCP, 270, 315, 1380, 285);
    placeTw(makeLabel(this, "Label1(13)", "Port:"), 1935, 345, 435, 195);
    INP_IP_PORT = new QLineEdit("1024", this);
    INP_IP_PORT->setObjectName("INP_IP_PORT");
    placeTw(INP_IP_PORT, 2370, 300, 675, 285);
    B_IP_RESET = new QPushButton("&R", this);
    B_IP_RESET->setObjectName("B_IP_RESET");
    B_IP_RESET->setToolTip("Reset TCP Connection");
    placeTw(B_IP_RESET, 1650, 330, 255, 255);
    AFF_TCP_STATUS = new QLabel("CLOSE", this);
    AFF_TCP_STATUS->setObjectName("AFF_TCP_STATUS");
    AFF_TCP_STATUS->setToolTip("TCP CONNECTION STATUS");
    AFF_TCP_STATUS->setAlignment(Qt::AlignCenter);
    AFF_TCP_STATUS->installEventFilter(this);
    placeTw(AFF_TCP_STATUS, 1890, -15, 1230, 240);

    const char* const captions[] = {"Client", "Server"};
    const char* const tips[] = {"In Client mode this software open the connection",
                                "In Server mode this software wait for the connection"};
    for (int i = 0; i < 2; ++i) {
        SW_IP_CL_SE[i] = new QRadioButton(captions[i], this);
        SW_IP_CL_SE[i]->setObjectName(QStringLiteral("SW_IP_CL_SE[%1]").arg(i));
        SW_IP_CL_SE[i]->setToolTip(tips[i]);
        placeTw(SW_IP_CL_SE[i], 3135, i == 0 ? 165 : 390, 780, 225);
    }
    SW_IP_CL_SE[0]->setChecked(true);

    // An option raises its click when it becomes the selected one.
    for (QRadioButton* option : SW_IP_CL_SE) {
        connect(option, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked) SW_IP_CL_SE_Click();
        });
    }
    connect(INP_IP_TCP, &QLineEdit::textChanged, this, &TcpFrame::INP_IP_TCP_Change);
    connect(INP_IP_PORT, &QLineEdit::textChanged, this, &TcpFrame::INP_IP_PORT_Change);
    connect(B_IP_RESET, &QPushButton::clicked, this, &TcpFrame::B_IP_RESET_Click);
    connect(&tcpChannel, &TcpChannel::statusChanged, this, &TcpFrame::showStatus);
    connect(&tcpChannel, &TcpChannel::addressFieldChanged, this,
            [this](const QString& text, bool enabled) {
                INP_IP_TCP->setText(text);
                INP_IP_TCP->setEnabled(enabled);
            });
}

void TcpFrame::SW_IP_CL_SE_Click() {
    runHandler("SW_IP_CL_SE_Click",
               [this] { tcpChannel.setServerRole(SW_IP_CL_SE[1]->isChecked()); });
}

void TcpFrame::INP_IP_TCP_Change() {
    runHandler("INP_IP_TCP_Change", [this] { tcpChannel.setAddress(INP_IP_TCP->text()); });
}

void TcpFrame::INP_IP_PORT_Change() {
    runHandler("INP_IP_PORT_Change", [this] { tcpChannel.setPort(INP_IP_PORT->text()); });
}

// The channel itself acts only in client mode.
void TcpFrame::AFF_TCP_STATUS_DblClick() {
    runHandler("AFF_TCP_STATUS_DblClick", [this] { tcpChannel.reset(); });
}

void TcpFrame::B_IP_RESET_Click() {
    AFF_TCP_STATUS_DblClick();
}

void TcpFrame::showStatus(const QString& text, StatusRole role, const QString& toolTip) {
    AFF_TCP_STATUS->setText(text);
    AFF_TCP_STATUS->setToolTip(toolTip);
    showRole(AFF_TCP_STATUS, role);
}

bool TcpFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == AFF_TCP_STATUS && event->type() == QEvent::MouseButtonDblClick) {
        AFF_TCP_STATUS_DblClick();
        return true;
    }
    return QGroupBox::eventFilter(watched, event);
}

}  // namespace kest
