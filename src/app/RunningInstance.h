#pragma once
// One running copy per instance. The copy that runs an instance holds the instance's
// guard and answers on a local socket of its own; a later start of the same instance
// finds the guard taken, asks that copy to bring its window to the front and ends,
// instead of running beside it and saving over its configuration.

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>

#include "platform/InstanceGuard.h"

class QLocalServer;

namespace kest {

class RunningInstance : public QObject {
    Q_OBJECT
  public:
    // The instance is named by its configuration directory (a native path).
    explicit RunningInstance(const QString& configDirectory, QObject* parent = nullptr);

    // Takes the instance for this copy; false when another copy runs it. From then on
    // this copy answers later starts of the instance by calling showRequested.
    bool claim();
    // Asks the copy that runs the instance to bring its window to the front; true when
    // it said it did before the deadline (it may still be starting when asked).
    bool askToShow(std::chrono::milliseconds deadline);

    std::function<void()> showRequested;

  private:
    void answer();

    InstanceGuard guard_;
    QLocalServer* server_ = nullptr;
};

}  // namespace kest
