#include "ui/TaskbarTab.h"

#include <QEvent>

namespace kest {

TaskbarTab::TaskbarTab(QWidget* window, std::unique_ptr<Taskbar> taskbar)
    : QObject(window), window_(window), taskbar_(std::move(taskbar)) {
    if (taskbar_) window_->installEventFilter(this);
}

bool TaskbarTab::eventFilter(QObject* watched, QEvent* event) {
    // Only a hide by the program is one to the tray: the window system's own (while it
    // minimises) leaves the button to the window system. A window without a native
    // window yet (or any more) has no button.
    const WId native = window_->internalWinId();
    if (watched != window_ || !native) return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::Hide && !event->spontaneous()) {
        taskbar_->deleteTab(native);
        removed_ = true;
    } else if (event->type() == QEvent::Show && removed_) {
        taskbar_->addTab(native);
        removed_ = false;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kest
