#include "engine/DryRunText.h"

#include <cstdio>

#include "engine/DryRun.h"

namespace kest {

namespace {

using Step = DryRunStep;

std::string quoted(const std::string& text) {
    return "\"" + withVisibleControls(text) + "\"";
}

std::string seconds(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

std::string ruleLine(const Step& step, const DryRunSettings& settings) {
    const std::size_t k = step.rule;
    const std::string search = k < settings.search.size() ? settings.search[k] : "";
    const std::string replace = k < settings.replace.size() ? settings.replace[k] : "";
    return "Rule " + std::to_string(k + 1) + " (" + quoted(search) + " -> " + quoted(replace) +
           ") matched at position " + std::to_string(step.position) + ": " + quoted(step.text);
}

std::string sendLine(const Step& step, const DryRunWorld& world) {
    const bool serial = step.kind == Step::Kind::SerialSend;
    std::string line =
        std::string(serial ? "Send-back over the serial port: " : "Send-back over TCP: ") +
        quoted(step.text);
    const char* assumed = world.channelsAssumed ? " (taken as open)" : " (open now)";
    if (step.sent) return line + " over the " + step.channel + assumed;
    if (serial) return line + " not sent: the port is closed now, so the macro stays and is typed";
    return line + " not sent: no TCP connection now";
}

std::string activationLine(const Step& step) {
    std::string line = "Window activation: " + quoted(step.text);
    if (!step.windowExists) return line + " (not checked whether such a window exists)";
    return line + (*step.windowExists ? " (a window with this title exists now)"
                                      : " (no window with this title now: nothing is activated)");
}

std::string pieceLines(const Step& step, int& bodyNumber) {
    std::string line;
    switch (step.piece) {
        case PipelineObserver::Piece::Prefix:
            line = "Prefix " + quoted(step.text);
            break;
        case PipelineObserver::Piece::Suffix:
            line = "Suffix " + quoted(step.text);
            break;
        case PipelineObserver::Piece::Body:
            line = "Piece " + std::to_string(++bodyNumber) + " " + quoted(step.text);
            break;
    }
    if (step.pauseSeconds > 0) line += " after a pause of " + seconds(step.pauseSeconds) + " s";
    line += "\n";
    // The reason quotes the piece, which may hold any received byte.
    if (!step.error.empty()) return line + "  not typed: " + withVisibleControls(step.error) + "\n";
    std::string keys;
    for (const std::string& e : step.outcome.events) keys += (keys.empty() ? "" : ", ") + e;
    line += "  keys: " + (keys.empty() ? std::string("none") : keys) + "\n";
    return line + "  types: " + quoted(step.outcome.shown) + "\n";
}

}  // namespace

std::string renderDryRun(const std::string& received, const DryRunSettings& settings,
                         const DryRunWorld& world, const DryRunResult& result) {
    std::string out = "Received: " + quoted(received) + "\n";
    std::size_t unmatched = 0;
    int bodyNumber = 0;
    for (const Step& step : result.steps) {
        switch (step.kind) {
            case Step::Kind::RemoveList:
                out += "After the remove list: " + quoted(step.text) + "\n";
                break;
            case Step::Kind::Rule:
                if (step.position == 0) {
                    ++unmatched;
                } else {
                    out += ruleLine(step, settings) + "\n";
                }
                break;
            case Step::Kind::Codes:
                if (unmatched > 0) out += std::to_string(unmatched) + " rule(s) matched nothing\n";
                out += "After the character codes: " + quoted(step.text) + "\n";
                break;
            case Step::Kind::DatesAndTimes:
                out += "After dates and times: " + quoted(step.text) + "\n";
                break;
            case Step::Kind::SerialSend:
            case Step::Kind::TcpSend:
                out += sendLine(step, world) + "\n";
                break;
            case Step::Kind::Activation:
                out += activationLine(step) + "\n";
                break;
            case Step::Kind::Piece:
                out += pieceLines(step, bodyNumber);
                break;
        }
    }
    return out + "Typed in all: " + quoted(result.shown) + "\n";
}

}  // namespace kest
