#pragma once
// Frame4: the output settings (target window, prefix, suffix) and the two switches
// that choose how keys are typed.

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kest {

class PictureBox;

class GeneralFrame : public QGroupBox {
    Q_OBJECT
  public:
    explicit GeneralFrame(QWidget* parent);

    QLineEdit* INP_TARGET_WIN;
    QCheckBox* SW_UPPER;
    PictureBox* Picture1_8;  // Picture1(8), over the start of SW_UPPER's caption
    QPushButton* B_HELP_PREF_SUF_0;
    QLineEdit* INP_PREFIX;
    QLineEdit* INP_SUFFIX;
    QCheckBox* SW_API_KB;
    QLabel* IMG_WIN;

    // Upper case and the API key path never hold together through the window.
    void SW_UPPER_Click();
};

}  // namespace kest
