#pragma once
// Another copy running. Every copy holds the guard for as long as it runs; an unnamed
// copy ends at once when any other copy (named or not) holds it. The guard goes with
// the process, however it ends.
//
// Linux: a shared flock on the key, a lock file (B/instances.lock); an unnamed copy
// first asks for it exclusively, without waiting.
// Windows: a named mutex that every copy creates; an unnamed copy that finds it
// existing already ends. Its name is made from the key, so any text serves as a key.

#include <QString>
#include <memory>

namespace kest {

class InstanceGuard {
  public:
    explicit InstanceGuard(QString key);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // The default key, B/instances.lock: one per user.
    static QString defaultKey();
    // The key of one instance, named by its configuration directory (a native path):
    // two starts are the same instance when they would share that directory, as the
    // platform compares paths. Linux: B/instances/<hash of the path>.lock. Windows:
    // the path itself, whose mutex name ignores letter case as Windows paths do.
    static QString instanceKey(const QString& configDirectory);
    // A name for a local socket (QLocalServer) that belongs to this key alone, through
    // which the copy that holds the key can be reached.
    QString channelName() const;

    // Unnamed: false when another copy (named or not) is running. Named: always true;
    // holding the guard then keeps later unnamed copies out.
    bool enter(bool unnamed);

  private:
    struct Held;  // what the platform holds for the copy's lifetime
    QString key_;
    std::unique_ptr<Held> held_;
};

}  // namespace kest
