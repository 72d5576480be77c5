#pragma once
// Switches the C library to a locale whose decimal point is a comma, as Qt does on a
// German or French desktop, and back when it goes out of scope.

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace kest::test {

class CommaLocale {
  public:
    CommaLocale() : previous_(std::setlocale(LC_ALL, nullptr)) {
        // The POSIX name, else the Windows one (a MinGW build knows only these); it
        // counts only when the C library really reads numbers with a comma then.
        active_ = (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr ||
                   std::setlocale(LC_ALL, "German_Germany.1252") != nullptr) &&
                  std::string(std::localeconv()->decimal_point) == ",";
    }
    ~CommaLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    // False where no such locale is installed (on Linux scripts/setup makes one).
    bool active() const { return active_; }

  private:
    std::string previous_;
    bool active_ = false;
};

// Runs the checks in the locale the tests start in, then with a decimal comma. Where no
// such locale is installed the test is reported skipped, not passed, after the first run.
template <class Checks>
void inEveryLocale(const Checks& checks) {
    checks();
    CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no de_DE.UTF-8 locale; scripts/setup makes one";
    checks();
}

}  // namespace kest::test
