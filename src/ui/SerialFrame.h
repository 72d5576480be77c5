#pragma once
// Frame3: the serial port's number, settings, handshaking and line switches, bound
// to the serial channel. The port field's colour is the port's open state.

#include <QGroupBox>
#include <QTimer>

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
    // A typed port number is opened once it has stopped changing: this long after the
    // last keystroke, or at once on Enter or when the focus leaves the field. Opening
    // each number on the way ("3" before "33") would switch DTR and RTS on a device
    // that nobody chose, and many boards reset on DTR. Typed settings wait the same
    // way: "9600,N,8,1" is not a wrong setting at every keystroke before its end.
    static constexpr int kTypedPortSettleMs = 800;
    QTimer typedPortSettle;
    QTimer typedSettingsSettle;

    void INP_COMMPORT_Change();
    void INP_COM_CFG_Change();
    void LST_HANDSHAKING_Click();
    void SW_DTR_Click();
    void SW_RTS_Click();
    // Start-up fills the four names.
    void fillHandshakingItems();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void bindSettledField(QLineEdit* field, QTimer& settle, bool& typedChange,
                          void (SerialFrame::*handler)());
    void showPortState(StatusRole role);

    bool typedPortChange_ = false;
    bool typedSettingsChange_ = false;
};

}  // namespace kest
