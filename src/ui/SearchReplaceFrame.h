#pragma once
// Frame1: the search/replace table, two parallel lists paired row by row, with its
// editor fields and the add, select and delete handlers.

#include <QGroupBox>
#include <array>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace kest {

class PictureBox;

class SearchReplaceFrame : public QGroupBox {
    Q_OBJECT
  public:
    explicit SearchReplaceFrame(QWidget* parent);

    std::array<QListWidget*, 2> LST_TOUCHES{};  // search texts, replacements
    QLineEdit* INP_INPUT;
    QLineEdit* INP_OUTPUT;
    QPushButton* B_TEST_SEND;
    QPushButton* B_RULE_TESTER;
    QPushButton* B_ADD;
    QPushButton* B_DEL;
    QPushButton* B_HELP_PREF_SUF_1;     // B_HELP_PREF_SUF(1)
    std::vector<PictureBox*> pictures;  // Picture1 elements of this frame

    void B_ADD_Click();
    void B_DEL_Click();
    void LST_TOUCHES_Click(int index);

  private:
    bool deleting_ = false;
};

}  // namespace kest
