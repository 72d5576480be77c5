#pragma once
// Frame3: the serial port's number, settings, handshaking and line switches, bound
// to the serial channel. The port field's colour is the port's open state.

#include <QGroupBox>

#include "channels/SerialChannel.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace kest {

class SerialFrame : public QGroupBox {
    Q_OBJECT
  public:
    explicit SerialFrame(QWidget* parent);

    QLineEdit* INP_COMMPORT;
    QLineEdit* INP_COM_CFG;
    QComboBox* LST_HANDSHAKING;
    QCheckBox* SW_DTR;
    QCheckBox* SW_RTS;
    SerialChannel COMM;

    void INP_COMMPORT_Change();
    void INP_COM_CFG_Change();
    void LST_HANDSHAKING_Click();
    void SW_DTR_Click();
    void SW_RTS_Click();
    // Start-up fills the four names.
    void fillHandshakingItems();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kest
