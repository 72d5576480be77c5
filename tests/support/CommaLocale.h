#pragma once
// Switches the C library to a locale whose decimal point is a comma, as Qt does on a
// German or French desktop, and back when it goes out of scope.

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

}  // namespace kest::test
