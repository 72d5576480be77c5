// The taskbar's buttons through ITaskbarList. Qt has initialised COM on the
// user-interface thread, where these calls are made.

#include <shobjidl.h>
#include <windows.h>

#include "ui/TaskbarTab.h"

namespace kest {

namespace {

class WindowsTaskbar final : public TaskbarTab::Taskbar {
  public:
    WindowsTaskbar() {
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ITaskbarList, reinterpret_cast<void**>(&list_))) ||
            FAILED(list_->HrInit())) {
            if (list_) list_->Release();
            list_ = nullptr;
        }
    }
    ~WindowsTaskbar() override {
        if (list_) list_->Release();
    }
    void deleteTab(WId window) override {
        if (list_) list_->DeleteTab(reinterpret_cast<HWND>(window));
    }
    void addTab(WId window) override {
        if (list_) list_->AddTab(reinterpret_cast<HWND>(window));
    }

  private:
    ITaskbarList* list_ = nullptr;
};

}  // namespace

std::unique_ptr<TaskbarTab::Taskbar> TaskbarTab::systemTaskbar() {
    return std::make_unique<WindowsTaskbar>();
}

}  // namespace kest
