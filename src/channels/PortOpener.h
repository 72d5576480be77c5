#pragma once
// Opening a serial port can block for seconds (a Bluetooth port whose device is off),
// so the open runs on a thread of its own and the thread that asked hears how it went
// from its event loop. Only the latest open counts: one that a newer open or a cancel
// overtook is closed where it ends and never heard of, so no port is left open behind
// the user's back.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace kest {

class PortOpener : public QObject {
    Q_OBJECT
  public:
    // An open port (a handle as a number), or 0 and why it did not open.
    struct Outcome {
        std::uintptr_t port = 0;
        QString failure;
    };
    using Open = std::function<Outcome()>;
    using Close = std::function<void(std::uintptr_t port)>;

    // close releases a port that was opened for nothing; it may run on any thread.
    explicit PortOpener(Close close, QObject* parent = nullptr);
    ~PortOpener() override;

    // Runs open on a new thread; an open still under way is overtaken.
    void start(Open open);
    void cancel();
    bool opening() const { return opening_; }

  signals:
    // Once per start that was not overtaken.
    void finished(std::uintptr_t port, const QString& failure);

  private:
    struct Shared;
    void deliver(std::uint64_t generation);

    std::shared_ptr<Shared> shared_;
    bool opening_ = false;
};

}  // namespace kest
