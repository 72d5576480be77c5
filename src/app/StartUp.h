#pragma once
// Form_Load and Form_Unload: the program's start and end around the main window.

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

namespace kest {

class F_MAIN;
class InstanceGuard;
class RunningInstance;

class StartUp : public QObject {
    Q_OBJECT
  public:
    StartUp(F_MAIN& window, QStringList arguments, InstanceGuard& guard);
    ~StartUp() override;

    // The start-up sequence; false when this copy must end at once: its instance runs
    // already (that copy is asked to show its window), or it is an unnamed copy beside
    // a running one. refusal() then says why, for the user.
    bool Form_Load();
    const QString& refusal() const { return refusal_; }
    // After a refusal: the way to the copy that runs this instance, if one does.
    std::unique_ptr<RunningInstance> takeRunningInstance();
    // The shut-down sequence when the window is closed or the session ends: the
    // configuration saved as locking saves it, then sockets, port, icon.
    void Form_Unload();
    // Closes the channels and removes the icon, without quitting.
    void releaseAll();

    // The support mail link for a window caption.
    static QString supportLink(const QString& caption);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool applyInstanceName();
    bool enterInstance(bool unnamed);
    bool refuse(const QString& why);
    // Shows the window as its tray icon would, or whatever modal window stands for it.
    void bringToFront();
    void createConfigDirectory();
    void step(const char* name, const std::function<void()>& statement);

    F_MAIN& w_;
    QStringList arguments_;
    InstanceGuard& guard_;
    std::unique_ptr<RunningInstance> instance_;
    QString refusal_;
    bool released_ = false;
};

}  // namespace kest
