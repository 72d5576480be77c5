#pragma once
// A run of PROCESS_DATA that types, sends and activates nothing: the real pipeline and
// key dispatch with a host and a keyboard device that record instead of acting. It
// yields every step of the run, for the rule tester window and --explain.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/Pipeline.h"
#include "engine/PipelineHost.h"
#include "keyboard/KeyOutcome.h"
#include "keyboard/RecordingKeyboardDevice.h"

namespace kest {

class Clock;

// The longest sample a dry run is asked to explain: a scan or a line, not a file.
constexpr std::size_t kMaxDryRunSample = 65536;

// The settings a run reads, as they stand in the controls (or in the saved files).
struct DryRunSettings {
    std::vector<std::string> removeList, search, replace;
    std::string delay = ".2", prefix, suffix, targetWindow;
    bool apiKb = false, upper = false;
    std::string modeTag;  // the output mode the program is in: "", "API" or "CUR"
};

// The channels and windows as they are now.
struct DryRunWorld {
    bool serialOpen = false;
    int tcpClientState = kSocketClosed;
    int tcpListenState = kSocketClosed;
    // True when the channel states above are taken as given rather than looked at.
    bool channelsAssumed = false;
    // Whether a window with the title exists now; empty or nothing: not known.
    std::function<std::optional<bool>(const std::string& title)> windowExists;
};

struct DryRunStep {
    enum class Kind {
        RemoveList,     // text after the remove list
        Rule,           // text after one rule
        Codes,          // text after the {ASCII:n} codes
        DatesAndTimes,  // text after {CURDATE:...} and {CURTIME}
        SerialSend,     // a {TX_SERIAL[...]}
        TcpSend,        // a {TX_TCP[...]}
        Activation,     // a window brought to the front
        Piece,          // the prefix, a piece of the text, or the suffix
    };
    Kind kind = Kind::RemoveList;
    // The text after the step (empty for a rule that matched nothing), the bytes sent,
    // the window title, or the keys of the piece.
    std::string text;
    // Rule: which (from 0) and where it matched (from 1; 0 when it matched nothing).
    std::size_t rule = 0;
    std::size_t position = 0;
    // SerialSend, TcpSend: the channel that carries the bytes ("" when none does).
    std::string channel;
    bool sent = false;
    // Activation: whether such a window exists now (nothing: not known).
    std::optional<bool> windowExists;
    // Piece.
    PipelineObserver::Piece piece = PipelineObserver::Piece::Body;
    double pauseSeconds = 0;
    std::string error;  // why nothing of the piece is typed (invalid notation)
    KeyOutcome outcome;
};

struct DryRunResult {
    std::vector<DryRunStep> steps;
    std::string characters;  // everything the receiver gets, in order
    std::string shown;       // the same with keys named and control codes visible
    std::string modeTagAfter;
};

// Runs the received text (raw bytes) through the pipeline. The clock gives the date
// and time; nothing waits.
DryRunResult dryRun(std::string text, const DryRunSettings& settings, const DryRunWorld& world,
                    const Clock& clock);

// Why a rule's replacement, met on its own with these switches and output mode, would
// not be typed, as the rule tester says it; empty when every piece of it would be.
std::string replacementNotTyped(const std::string& replacement, const DryRunSettings& settings,
                                const Clock& clock);

}  // namespace kest
