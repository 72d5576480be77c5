#pragma once
// Switches the C library to a locale whose decimal point is a comma, as Qt does on a
// German or French desktop, and back when it goes out of scope.

#include <clocale>
#include <string>

namespace kest::test {

class CommaLocale {
  public:
    CommaLocale() : previous_(std::setlocale(LC_ALL, nullptr)) {
        active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~CommaLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    // False where the locale is not installed (scripts/setup makes it).
    bool active() const { return active_; }

  private:
    std::string previous_;
    bool active_ = false;
};

}  // namespace kest::test
