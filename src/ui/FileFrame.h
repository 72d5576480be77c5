#pragma once
// Frame8: the watched file's path, the chooser button and the file status label,
// bound to the file channel.

#include <QGroupBox>

#include "channels/FileChannel.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kest {

class FileFrame : public QGroupBox {
    Q_OBJECT
  public:
    explicit FileFrame(QWidget* parent);

    QLineEdit* INP_FILE_DIR;
    QPushButton* B_FILE_CHOSE;
    QLabel* AFF_FILE_STATUS;
    FileChannel fileChannel;  // TIM_FILE and the watched-file work

    void INP_FILE_DIR_Change();
    void B_FILE_CHOSE_Click();
};

}  // namespace kest
