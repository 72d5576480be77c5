#pragma once
// Form_Load and Form_Unload: the program's start and end around the main window.

#include <QObject>
#include <QStringList>
#include <functional>

namespace kest {

class F_MAIN;
class InstanceGuard;

class StartUp : public QObject {
    Q_OBJECT
  public:
    StartUp(F_MAIN& window, QStringList arguments, InstanceGuard& guard);

    // The start-up sequence; false when this copy must end at once (an unnamed copy
    // beside a running one).
    bool Form_Load();
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
    void createConfigDirectory();
    void step(const char* name, const std::function<void()>& statement);

    F_MAIN& w_;
    QStringList arguments_;
    InstanceGuard& guard_;
    bool released_ = false;
};

}  // namespace kest
