#pragma once
// The macros that are not keystrokes: date, time, serial and TCP send-back, and the
// activation of a window before typing. Each step works on the whole text.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kest {

class Clock;
class PipelineHost;
struct DateNames;
struct LocalDateTime;

// The macro loop shared by {ASCII:n}, {CURDATE:...}, {TX_SERIAL[...]} and
// {TX_TCP[...]}: round after round, the first opening mark of the text (searched from
// its start) and the first closing mark after it enclose a payload; the expansion
// returns what replaces the whole macro, or nothing to stop and leave this macro and
// the rest of the text as they are. At most N + 1 rounds for a text of length N. The
// result equals that round-by-round rewrite, in time linear in the text and output.
using MacroExpansion = std::function<std::optional<std::string>(std::string_view payload)>;
void expandMacroRounds(std::string& text, std::string_view open, std::string_view close,
                       const MacroExpansion& expand);

std::string formatDate(const LocalDateTime& when, std::string_view pattern, const DateNames& names);

void expandDateMacros(std::string& text, const Clock& clock);
void expandTimeMacros(std::string& text, const Clock& clock);
void sendSerialMacros(std::string& text, PipelineHost& host);
void sendTcpMacros(std::string& text, PipelineHost& host);
// Activates the window the text names (APP[...], taken out of the text), else the
// target window, and gives it a moment to take the focus. Returns the title it asked
// for, so that a text typed on later goes to the same window.
std::optional<std::string> activateTargetWindow(std::string& text, PipelineHost& host);
// Activates that window again, with the same moment.
void activateWindowAgain(const std::string& title, PipelineHost& host);

}  // namespace kest
