#pragma once
// What does not work right now, by kind, each with its reason. A copy that runs locked
// or hidden for weeks shows no red field to anyone: this state is what the
// notification-area icon shows instead (its warning variant, the problems in its tip,
// a balloon for each new kind), and each distinct reason goes to the log once per run.
//
// Adding a kind: one value of Trouble and its few words in TroubleState::words(); the
// part that finds the problem says trouble.set(Trouble::X, reason) and, once it is
// gone, trouble.clear(Trouble::X).

#include <QObject>
#include <QString>
#include <map>

#include "ui/ToldOnce.h"

namespace kest {

enum class Trouble {
    SerialPort,   // the serial port is not open
    Tcp,          // the server cannot listen, or the client's connection fails
    File,         // the watched file gives an error
    Save,         // the configuration could not be saved
    NotTyped,     // a received text, or a piece of it, could not be typed
    KeysWaiting,  // texts wait: the platform refuses our keys now (an elevated window in
                  // front, a locked screen); its reason is short and shown in full
};

class TroubleState : public QObject {
    Q_OBJECT
  public:
    explicit TroubleState(QObject* parent = nullptr);

    // The kind is a problem now, for this reason (a new reason replaces the old one).
    void set(Trouble kind, const QString& reason);
    // The kind works again.
    void clear(Trouble kind);

    bool has(Trouble kind) const { return current_.count(kind) > 0; }
    QString reason(Trouble kind) const;
    bool any() const { return !current_.empty(); }
    // The current problems in a few words each, in the order of Trouble ("port red,
    // TCP failing"; waiting texts with their reason); empty when everything works.
    QString summary() const;
    // The few words that name a kind in the tip, the balloon and the log.
    static QString words(Trouble kind);

  signals:
    // Any change of the problems or their reasons.
    void changed();
    // A kind that was not a problem has become one: the moment for a balloon, which
    // that kind does not get again until it has cleared.
    void began(kest::Trouble kind, const QString& reason);

  private:
    std::map<Trouble, QString> current_;
    ToldOnce logged_;
};

}  // namespace kest
