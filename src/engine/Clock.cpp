#include "engine/Clock.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

namespace kest {

DateNames englishDateNames() {
    DateNames n;
    n.weekdays = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    n.weekdaysShort = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    n.months = {"January", "February", "March",     "April",   "May",      "June",
                "July",    "August",   "September", "October", "November", "December"};
    n.monthsShort = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return n;
}

namespace {

std::tm localNow(double* fraction) {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    if (fraction) {
        auto sinceSecond = now - std::chrono::system_clock::from_time_t(seconds);
        *fraction = std::chrono::duration<double>(sinceSecond).count();
    }
    // Only the user-interface thread reads the clock, so the shared buffer of
    // std::localtime is safe, and it is the same call on every platform.
    const std::tm* local = std::localtime(&seconds);
    return local ? *local : std::tm{};
}

}  // namespace

void pauseUntilMidnightAtMost(double seconds, Clock& clock) {
    if (!(seconds > 0)) return;
    const double untilMidnight = 86400.0 - clock.secondsSinceMidnight();
    const double pause = std::min(seconds, untilMidnight);
    if (pause > 0) clock.sleepFor(pause);
}

SystemClock::SystemClock(DateNames names) : names_(std::move(names)) {}

LocalDateTime SystemClock::now() const {
    std::tm t = localNow(nullptr);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_wday, t.tm_hour, t.tm_min, t.tm_sec};
}

double SystemClock::secondsSinceMidnight() const {
    double fraction = 0;
    std::tm t = localNow(&fraction);
    return t.tm_hour * 3600.0 + t.tm_min * 60.0 + t.tm_sec + fraction;
}

void SystemClock::sleepFor(double seconds) {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

}  // namespace kest
