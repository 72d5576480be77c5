#pragma once
// What the channel tests share: one Qt application per test program, a private
// configuration home per test, waits with deadlines, and real serial pseudo-terminals.

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "e2e/support/Processes.h"
#include "support/ConfigHome.h"

namespace kest::test {

QCoreApplication& qtApp();

// Put first in a fixture: Qt objects with timers need the application to exist.
struct QtAppFirst {
    QtAppFirst() { qtApp(); }
};

// Runs the event loop until the condition holds or the deadline passes.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs);
// Runs the event loop for a while (to show that something does NOT happen).
void runEventsFor(int ms);

// Every text a channel hands over, with the time it came.
struct Received {
    QList<QByteArray> texts;
    QList<qint64> atMs;
    QElapsedTimer clock;
    Received() { clock.start(); }
    void add(const QByteArray& text) {
        texts << text;
        atMs << clock.elapsed();
    }
    QByteArray joined() const { return texts.join(); }
};

// The serial device of the end-to-end tests (a socat pseudo-terminal pair, one end
// linked as B/dosdevices/comN), unplugged and plugged in again by stop and start.
class PtyPair {
  public:
    PtyPair(const QString& base, int comNumber) : base_(base.toStdString()), number_(comNumber) {}
    bool start();  // true when both ends are there
    void stop() { device_.reset(); }
    bool writeDevice(const QByteArray& data);
    QByteArray readDevice(int timeoutMs);  // what the program sent, waiting up to timeout
    QString comLink() const;

  private:
    std::string base_;
    int number_;
    std::unique_ptr<e2e::SerialDevice> device_;
};

}  // namespace kest::test
