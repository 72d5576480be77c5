#pragma once
// The program's icon in the notification area: added at start and again every five
// seconds (so that it returns after the notification area was rebuilt), removed at
// unload. A left click or double-click on it hides a visible main window and shows a
// hidden one.

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace kest {

class TroubleState;

class TrayIcon : public QObject {
    Q_OBJECT

  public:
    // The icon's mouse messages, as the notification area reports them.
    static constexpr int kMouseMove = 512;
    static constexpr int kLeftButtonDown = 513;
    static constexpr int kLeftButtonUp = 514;
    static constexpr int kLeftDoubleClick = 515;
    static constexpr int kRightButtonDown = 516;
    static constexpr int kMiddleButtonDown = 519;
    // The tip field holds 64 characters with its terminating NUL.
    static constexpr int kMaxTipLength = 63;
    static constexpr int kRefreshIntervalMs = 5000;

    // Starts TIM_REFRESH_TRAYICON; the icon itself appears with the first add().
    TrayIcon(QWidget* mainWindow, const QString& tipText, const QIcon& icon);

    // "Kest Serial Keyboard", the maker's web address and the instance suffix, cut to fit.
    static QString tipText(const QString& instanceCaption);
    static int messageFor(QSystemTrayIcon::ActivationReason reason);
    // The program's own icon (window and notification area).
    static QIcon programIcon();
    // The same with a warning sign in its lower right corner: something does not work.
    static QIcon warningIcon();
    static constexpr int kBalloonMs = 10000;

    // Shows the trouble state from now on: the warning icon and the problems under the
    // tip while there are any, and a balloon for each kind that begins.
    void followTrouble(const TroubleState& trouble);

    void add();
    // Removes the icon for good: the refresh stops too, so it does not come back.
    void remove();
    void handleMouseMessage(int message);
    void ToggleWindow();
    void HideToTray();
    // Where a window goes when no notification area can bring it back: minimised,
    // with its task-list entry, restored as any window is.
    void minimiseToTaskList();
    // Whether the desktop has a notification area now (tests replace it).
    std::function<bool()> areaAvailable;

    // Whether the program has an entry in the desktop's task list (taskbar).
    bool taskListVisible() const { return taskListVisible_; }
    void setTaskListVisible(bool visible);

    QSystemTrayIcon* icon() const { return icon_; }
    // The tip as it was built at start; the icon shows it with the problems under it.
    QString tip() const { return tip_; }
    QTimer* TIM_REFRESH_TRAYICON;

  private:
    void showTrouble(const TroubleState& trouble);

    QWidget* mainWindow_;
    QSystemTrayIcon* icon_;
    QString tip_;
    QIcon normalIcon_;
    QIcon warningIcon_;             // made when first needed
    bool handlingMessage_ = false;  // the re-entry flag
    bool trayWasAvailable_ = false;
    bool taskListVisible_ = true;
};

}  // namespace kest
