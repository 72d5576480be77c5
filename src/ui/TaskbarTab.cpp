#include "ui/TaskbarTab.h"

#include <QEvent>

namespace kest {

TaskbarTab::TaskbarTab(QWidget* window, std::unique_ptr<Taskbar> taskbar)
    : QObject(window), window_(window), taskbar_(std::move(taskbar)) {
    if (taskbar_) window_->installEventFilter(this);
}

bool TaskbarTab::eventFilter(QObject* watched, QEvent* event) {
    // Only a hide by the program is one to the tray: the window system's own (while it
    // minimises) leaves the button to the window system.
    if (watched == window_ && event->type() == QEvent::Hide && !event->spontaneous()) {
        taskbar_->deleteTab(window_->winId());
        removed_ = true;
    } else if (watched == window_ && event->type() == QEvent::Show && removed_) {
        taskbar_->addTab(window_->winId());
        removed_ = false;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kest
