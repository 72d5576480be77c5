#pragma once
// Another copy running: every copy holds a shared lock on B/instances.lock for as
// long as it runs; an unnamed copy first asks for it exclusively, without waiting,
// and ends when it cannot have it. The lock goes with the process, however it ends.

#include <QString>

namespace kest {

class InstanceGuard {
  public:
    explicit InstanceGuard(QString lockFile);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // The default lock file, B/instances.lock.
    static QString defaultLockFile();

    // Unnamed: false when another copy (named or not) is running. Named: always true;
    // the shared lock then keeps later unnamed copies out.
    bool enter(bool unnamed);

  private:
    QString lockFile_;
    int fd_ = -1;
};

}  // namespace kest
