#include "engine/OutputMacros.h"

#include <algorithm>
#include <cstdio>

#include "engine/Clock.h"
#include "engine/PipelineHost.h"
#include "engine/TextUtil.h"

namespace kest {

namespace {

// Whether text[0, end) ends with the mark. Called after every character read, so
// the last character is compared first: it rules out nearly every position.
bool endsWithAt(const std::string& text, std::size_t end, std::string_view mark) {
    return end >= mark.size() && text[end - 1] == mark.back() &&
           std::string_view(text).substr(end - mark.size(), mark.size()) == mark;
}

std::string twoDigits(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

// No date token is longer than four letters.
constexpr std::size_t kLongestToken = 4;

// Length of the run of letter c (either case) that starts at i, counted no further
// than the longest token: counting a long run to its end at each of its positions
// would make a pattern of one repeated character quadratic.
std::size_t runLength(std::string_view pattern, std::size_t i, char c) {
    std::size_t n = 0;
    while (n < kLongestToken && i + n < pattern.size() && asciiLower(pattern[i + n]) == c) ++n;
    return n;
}

void appendDay(std::string& out, std::size_t take, const LocalDateTime& t, const DateNames& n) {
    switch (take) {
        case 1:
            out += std::to_string(t.day);
            break;
        case 2:
            out += twoDigits(t.day);
            break;
        case 3:
            out += n.weekdaysShort.at(static_cast<std::size_t>(t.weekday));
            break;
        default:
            out += n.weekdays.at(static_cast<std::size_t>(t.weekday));
            break;
    }
}

void appendMonth(std::string& out, std::size_t take, const LocalDateTime& t, const DateNames& n) {
    switch (take) {
        case 1:
            out += std::to_string(t.month);
            break;
        case 2:
            out += twoDigits(t.month);
            break;
        case 3:
            out += n.monthsShort.at(static_cast<std::size_t>(t.month - 1));
            break;
        default:
            out += n.months.at(static_cast<std::size_t>(t.month - 1));
            break;
    }
}

}  // namespace

void expandMacroRounds(std::string& text, std::string_view open, std::string_view close,
                       const MacroExpansion& expand) {
    // One pass over the text, in place: text[0, w) is the result so far and holds no
    // complete opening mark, text[r, end) is still to be read, and the gap between
    // them takes each replacement, which is then read like the rest, so that it may
    // open or complete a mark with what stands around it, as in the round-by-round
    // rewrite. A mark is found the moment its last character is read: the leftmost
    // mark of the whole text, as a search from the start would find it. The closing
    // mark never overlaps the opening one for the marks used here, so searching it
    // after the opening mark is searching it after the "{".
    //
    // Why this is linear: each character is copied once for each time it is written,
    // by the input or by a replacement, and a payload is scanned once. Only a
    // replacement longer than the gap moves the unread rest, and then it leaves a gap
    // as long as the whole text, so such moves add up to a constant times the output.
    if (text.find(open) == std::string::npos) return;  // the common case: nothing to do
    const std::size_t maxRounds = text.size() + 1;
    std::size_t w = 0;
    std::size_t r = 0;
    std::size_t rounds = 0;
    while (r < text.size()) {
        text[w++] = text[r++];
        if (!endsWithAt(text, w, open)) continue;
        if (rounds == maxRounds) break;
        ++rounds;
        const std::size_t closeAt = text.find(close, r);
        if (closeAt == std::string::npos) break;  // this macro and the rest stay
        const std::optional<std::string> replacement =
            expand(std::string_view(text).substr(r, closeAt - r));
        if (!replacement) break;  // refused: this macro and the rest stay
        w -= open.size();
        r = closeAt + close.size();
        if (replacement->size() > r - w) {
            const std::size_t room = replacement->size() + text.size();
            text.insert(r, room, '\0');
            r += room;
        }
        r -= replacement->size();
        std::copy(replacement->begin(), replacement->end(),
                  text.begin() + static_cast<std::ptrdiff_t>(r));
    }
    text.erase(w, r - w);
}

std::string formatDate(const LocalDateTime& when, std::string_view pattern,
                       const DateNames& names) {
    if (pattern.empty()) {
        pattern = names.shortDatePattern.empty() ? std::string_view("dd/mm/yyyy")
                                                 : std::string_view(names.shortDatePattern);
    }
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = asciiLower(pattern[i]);
        const std::size_t run = runLength(pattern, i, c);
        std::size_t take = 1;
        if (c == 'd') {
            take = run;
            appendDay(out, take, when, names);
        } else if (c == 'm') {
            take = run;
            appendMonth(out, take, when, names);
        } else if (c == 'y' && run >= kLongestToken) {
            take = kLongestToken;
            char year[16];
            std::snprintf(year, sizeof year, "%04d", when.year);
            out += year;
        } else if (c == 'y' && run >= 2) {
            take = 2;
            out += twoDigits(when.year % 100);
        } else if (c == '/') {
            out += names.separator;
        } else {
            out += pattern[i];
        }
        i += take;
    }
    return out;
}

void expandDateMacros(std::string& text, const Clock& clock) {
    expandMacroRounds(text, "{CURDATE:", "}", [&](std::string_view format) {
        return std::optional<std::string>(formatDate(clock.now(), format, clock.dateNames()));
    });
}

void expandTimeMacros(std::string& text, const Clock& clock) {
    static constexpr std::string_view kMark = "{CURTIME}";
    std::size_t p = text.find(kMark);
    if (p == std::string::npos) return;
    const LocalDateTime t = clock.now();
    const std::string time =
        twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second);
    std::string out;
    std::size_t from = 0;
    for (; p != std::string::npos; p = text.find(kMark, from)) {
        out.append(text, from, p - from);
        out += time;
        from = p + kMark.size();
    }
    out.append(text, from);
    text = std::move(out);
}

void sendSerialMacros(std::string& text, PipelineHost& host) {
    // While the port is closed the macros stay in the text and are typed as they are.
    if (!host.serialOpen()) return;
    expandMacroRounds(text, "{TX_SERIAL[", "]}", [&](std::string_view payload) {
        runLosingOnlyItself(host, "serial send-back",
                            [&] { host.serialWrite(std::string(payload)); });
        return std::optional<std::string>(std::string());
    });
}

void sendTcpMacros(std::string& text, PipelineHost& host) {
    expandMacroRounds(text, "{TX_TCP[", "]}", [&](std::string_view payload) {
        runLosingOnlyItself(host, "TCP send-back", [&] {
            if (host.tcpClientState() == kSocketConnected) {
                host.tcpClientSend(std::string(payload));
            } else if (host.tcpListenState() == kSocketConnected) {
                host.tcpListenSend(std::string(payload));
            }
        });
        return std::optional<std::string>(std::string());
    });
}

std::optional<std::string> activateTargetWindow(std::string& text, PipelineHost& host) {
    static constexpr std::string_view kMark = "APP[";
    std::optional<std::string> activated;
    const std::size_t p = text.find(kMark);
    if (p != std::string::npos) {
        const std::size_t q = text.find(']', p + 1);
        if (q != std::string::npos) {
            activated = text.substr(p + kMark.size(), q - p - kMark.size());
            text.erase(p, q - p + 1);
            runLosingOnlyItself(host, "window activation",
                                [&] { host.activateWindow(*activated); });
        }
    } else {
        const std::string target = host.targetWindowText();
        if (trimSpaces(target).empty()) return activated;
        activated = target;
        runLosingOnlyItself(host, "window activation", [&] { host.activateWindow(target); });
    }
    // Give the activated window a moment to take the focus before the first key.
    host.handleEventsFor(0.05);
    return activated;
}

void activateWindowAgain(const std::string& title, PipelineHost& host) {
    runLosingOnlyItself(host, "window activation", [&] { host.activateWindow(title); });
    host.handleEventsFor(0.05);
}

}  // namespace kest
