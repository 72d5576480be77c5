#pragma once
// A clock for tests: time stands still unless a sleep moves it, and every sleep is
// recorded instead of waited.

#include <vector>

#include "engine/Clock.h"

namespace kest::test {

class FakeClock : public Clock {
  public:
    FakeClock() : names_(englishDateNames()) {}

    LocalDateTime now() const override { return now_; }
    double secondsSinceMidnight() const override { return midnightSeconds_; }
    void sleepFor(double seconds) override {
        sleeps.push_back(seconds);
        midnightSeconds_ += seconds;
    }
    const DateNames& dateNames() const override { return names_; }

    void setNow(const LocalDateTime& when) {
        now_ = when;
        midnightSeconds_ = when.hour * 3600.0 + when.minute * 60.0 + when.second;
    }
    void setSecondsSinceMidnight(double s) { midnightSeconds_ = s; }
    DateNames& names() { return names_; }

    std::vector<double> sleeps;

  private:
    LocalDateTime now_{2026, 12, 4, 5, 9, 5, 7};
    double midnightSeconds_ = 9 * 3600.0 + 5 * 60.0 + 7;
    DateNames names_;
};

}  // namespace kest::test
