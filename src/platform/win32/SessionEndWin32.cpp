#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDebug>

#include "platform/SessionEnd.h"

namespace kest {

namespace {

// Windows asks every top-level window, the program's hidden ones too: the program
// answers once per question.
class SessionEndFilter : public QAbstractNativeEventFilter {
  public:
    explicit SessionEndFilter(SessionEndHandlers handlers) : handlers_(std::move(handlers)) {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "windows_generic_MSG" && type != "windows_dispatcher_MSG") return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message == WM_QUERYENDSESSION && !saved_) {
            saved_ = true;
            handlers_.save();
        } else if (msg->message == WM_ENDSESSION) {
            saved_ = false;  // a cancelled end asks again next time
            if (msg->wParam && !ended_) {
                ended_ = true;
                qWarning("ending with the Windows session; the configuration is saved first");
                handlers_.end();
            }
        }
        return false;  // Qt answers the message itself
    }

  private:
    SessionEndHandlers handlers_;
    bool saved_ = false;
    bool ended_ = false;
};

}  // namespace

void watchSessionEnd(SessionEndHandlers handlers) {
    static SessionEndFilter* filter = nullptr;
    if (filter) return;  // one watch per run
    filter = new SessionEndFilter(std::move(handlers));
    QCoreApplication::instance()->installNativeEventFilter(filter);
}

}  // namespace kest
