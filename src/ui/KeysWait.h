#pragma once
// Texts whose keys the platform refused (a locked screen, a UAC prompt, a window in
// front that runs as administrator) wait in the runner, in order. This tries them
// again, often at first and then less often, says in the debug list and the log each
// time such a wait begins and when it ends, and tells whoever shows the program's
// troubles (the tray icon) why texts wait.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

namespace kest {

class Pipeline;
class PipelineRunner;

class KeysWait : public QObject {
    Q_OBJECT
  public:
    static constexpr int kFirstRetryMs = 100;
    static constexpr int kLongestRetryMs = 2000;

    // addDebugLine shows a line in the debug list. runner and pipeline must outlive this.
    KeysWait(PipelineRunner& runner, const Pipeline& pipeline,
             std::function<void(const QString&)> addDebugLine, QObject* parent = nullptr);

    // Why texts wait for their keys now, in the user's words; empty when none do.
    QString reason() const { return reason_; }
    // The retry, also run by the timer: a window switch may have ended the wait.
    void retry();

  signals:
    void changed(const QString& reason);

  private:
    void onWaiting(const std::string& reason);

    PipelineRunner& runner_;
    const Pipeline& pipeline_;
    std::function<void(const QString&)> addDebugLine_;
    QTimer timer_;
    QElapsedTimer since_;
    QString reason_;
    int delayMs_ = kFirstRetryMs;
};

}  // namespace kest
