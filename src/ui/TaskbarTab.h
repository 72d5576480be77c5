#pragma once
// The main window's taskbar button on Windows: gone while the program hides the window
// to the notification area, back when the window is shown again, so that a window in
// the tray leaves no button behind. Where there is no such taskbar nothing is done
// (X11's task-list entry is the tray icon's).

#include <QObject>
#include <QWidget>
#include <memory>

namespace kest {

class TaskbarTab : public QObject {
    Q_OBJECT
  public:
    // The taskbar's buttons (ITaskbarList on Windows).
    class Taskbar {
      public:
        virtual ~Taskbar() = default;
        virtual void deleteTab(WId window) = 0;
        virtual void addTab(WId window) = 0;
    };
    // The desktop's taskbar; nothing where there is none to manage.
    static std::unique_ptr<Taskbar> systemTaskbar();

    // Watches the window for its life (it becomes the window's child).
    TaskbarTab(QWidget* window, std::unique_ptr<Taskbar> taskbar);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* window_;
    std::unique_ptr<Taskbar> taskbar_;
    bool removed_ = false;
};

}  // namespace kest
