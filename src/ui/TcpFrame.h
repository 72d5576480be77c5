#pragma once
// Frame5: the TCP role, address and port, bound to the TCP channel; the status label
// shows the channel's state text with its colour and tool tip.

#include <QGroupBox>
#include <array>

#include "channels/TcpChannel.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kest {

class TcpFrame : public QGroupBox {
    Q_OBJECT
  public:
    explicit TcpFrame(QWidget* parent);

    QLineEdit* INP_IP_TCP;
    QLineEdit* INP_IP_PORT;
    QPushButton* B_IP_RESET;
    QLabel* AFF_TCP_STATUS;
    std::array<QRadioButton*, 2> SW_IP_CL_SE{};  // "Client", "Server"
    TcpChannel tcpChannel;

    void SW_IP_CL_SE_Click();
    void INP_IP_TCP_Change();
    void INP_IP_PORT_Change();
    void AFF_TCP_STATUS_DblClick();
    void B_IP_RESET_Click();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showStatus(const QString& text, StatusRole role, const QString& toolTip);
};

}  // namespace kest
