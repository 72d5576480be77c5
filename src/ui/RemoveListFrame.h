#pragma once
// Frame2: the list of character codes removed from received text, with its code
// field that takes digits only.

#include <QGroupBox>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace kest {

class RemoveListFrame : public QGroupBox {
    Q_OBJECT
  public:
    explicit RemoveListFrame(QWidget* parent);

    QListWidget* LST_REMOVE_CAR;
    QLineEdit* INP_REMOVE_CAR;
    QPushButton* B_ADD_REMOVE_CAR;
    QPushButton* B_DEL_REMOVE_CAR;

    void B_ADD_REMOVE_CAR_Click();
    void B_DEL_REMOVE_CAR_Click();
    // The character a key press enters into the code field: its own digit, or "0".
    static QChar INP_REMOVE_CAR_KeyPress(QChar typed);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kest
