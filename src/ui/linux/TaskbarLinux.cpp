#include "ui/TaskbarTab.h"

namespace kest {

// An X11 window's taskbar entry is a window property, which the tray icon keeps.
std::unique_ptr<TaskbarTab::Taskbar> TaskbarTab::systemTaskbar() {
    return nullptr;
}

}  // namespace kest
