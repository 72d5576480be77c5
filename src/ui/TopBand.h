#pragma once
// The strip at the top of the main window that stays in view while the configuration
// is locked: title pictures, the password field, help and minimise buttons, the
// instance label, the maker's links and the debug list.

#include <QObject>
#include <array>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace kest {

class PictureBox;
class URLLink;

class TopBand : public QObject {
    Q_OBJECT
  public:
    explicit TopBand(QWidget* window);

    QLineEdit* INP_PASS;
    std::array<QPushButton*, 2> B_HLP{};
    QPushButton* B_MIN;
    QLabel* AFF_INSTANCE;
    URLLink* URLLink1;
    URLLink* URL_SUPPORT;
    URLLink* URLLink2;
    QListWidget* LST_DEBUG;
    std::vector<PictureBox*> pictures;  // Picture1(6), (5), (1)

    void LST_DEBUG_DblClick();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kest
