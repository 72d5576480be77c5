#pragma once
// Time as the engine sees it: the wall clock for date and time macros, seconds since
// midnight for the pauses that end early at midnight, and a sleep that never spins.
// Tests drive a fake clock; the program uses SystemClock.

#include <array>
#include <string>

namespace kest {

struct LocalDateTime {
    int year = 1970;
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int weekday = 4;  // 0 = Sunday .. 6 = Saturday
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Names and forms of the user's language, as 8-bit (Windows-1252) text.
struct DateNames {
    std::array<std::string, 7> weekdays;       // Sunday first
    std::array<std::string, 7> weekdaysShort;  // Sunday first
    std::array<std::string, 12> months;        // January first
    std::array<std::string, 12> monthsShort;
    std::string separator = "/";
    // The short date form, written with the date tokens (d, dd, m, mm, yy, yyyy, /).
    std::string shortDatePattern = "dd/mm/yyyy";
};

DateNames englishDateNames();

class Clock;

// The one blocking pause of the program (the pipeline's INP_DELAY, the player's wait
// between key events): sleeps the given seconds, nothing for 0, less or NaN, and never
// past midnight, where the seconds-since-midnight clock these pauses were once
// measured on starts again from zero.
void pauseUntilMidnightAtMost(double seconds, Clock& clock);

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() const = 0;
    // Local time of day in seconds, with a fraction.
    virtual double secondsSinceMidnight() const = 0;
    // Blocks the calling thread; the program's timers and events wait meanwhile.
    virtual void sleepFor(double seconds) = 0;
    virtual const DateNames& dateNames() const = 0;
};

class SystemClock final : public Clock {
  public:
    explicit SystemClock(DateNames names = englishDateNames());
    LocalDateTime now() const override;
    double secondsSinceMidnight() const override;
    void sleepFor(double seconds) override;
    const DateNames& dateNames() const override { return names_; }
    void setDateNames(DateNames names) { names_ = std::move(names); }

  private:
    DateNames names_;
};

}  // namespace kest
