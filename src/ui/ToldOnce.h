#pragma once
// Lines already told, so that a failure or a notice repeated for days is told once per
// run. The memory is bounded: past kMaxRemembered distinct lines it starts over, so a
// copy running for months tells an old line again rather than growing without end.

#include <QSet>
#include <QString>

namespace kest {

class ToldOnce {
  public:
    static constexpr int kMaxRemembered = 1000;

    // True the first time a line is seen; it is remembered from then on.
    bool first(const QString& line) {
        if (told_.contains(line)) return false;
        if (told_.size() >= kMaxRemembered) told_.clear();
        told_.insert(line);
        return true;
    }

  private:
    QSet<QString> told_;
};

}  // namespace kest
