// The whole received-data pipeline on a recording host, against a plain model: each
// macro step rewritten round by round (find the first opening mark, the first closing
// mark after it, replace, search again from the start), then the pieces split at the
// carets. The input holds a remove entry, a rule, switches and the received text.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/Clock.h"
#include "engine/DryRun.h"
#include "engine/DryRunText.h"
#include "engine/NumericValue.h"
#include "engine/OutputMacros.h"
#include "engine/Pipeline.h"
#include "fuzz/FuzzCheck.h"
#include "support/FakeClock.h"
#include "support/RecordingPipelineHost.h"
#include "support/RoundByRound.h"

namespace {

using kest::test::roundByRound;

std::optional<std::string> asciiCode(std::string_view payload) {
    const double code = kest::roundHalfEven(kest::numericValue(payload));
    if (!(code >= 0 && code <= 255)) return std::nullopt;
    return std::string(1, static_cast<char>(static_cast<int>(code)));
}

// The log the recording host should hold after the run, in its own words.
std::vector<std::string> modelLog(std::string text, const kest::DryRunSettings& s,
                                  const kest::DryRunWorld& world, const kest::Clock& clock) {
    std::vector<std::string> log;
    const double code = kest::numericValue(s.removeList[0]);
    if (code >= 0 && code <= 255 && code == static_cast<int>(code)) {
        std::erase(text, static_cast<char>(static_cast<int>(code)));
    }
    std::string search = s.search[0];
    roundByRound(search, "{ASCII:", "}", asciiCode);
    if (const std::size_t p = text.find(search); p != std::string::npos)
        text.replace(p, search.size(), s.replace[0]);
    roundByRound(text, "{ASCII:", "}", asciiCode);
    roundByRound(text, "{CURDATE:", "}", [&](std::string_view pattern) {
        return std::optional<std::string>(
            kest::formatDate(clock.now(), pattern, clock.dateNames()));
    });
    for (std::size_t p = text.find("{CURTIME}"); p != std::string::npos;
         p = text.find("{CURTIME}", p + 8))
        text.replace(p, 9, "09:05:07");
    if (world.serialOpen) {
        roundByRound(text, "{TX_SERIAL[", "]}", [&](std::string_view payload) {
            log.push_back("serial:" + std::string(payload));
            return std::optional<std::string>("");
        });
    }
    roundByRound(text, "{TX_TCP[", "]}", [&](std::string_view payload) {
        if (world.tcpClientState == kest::kSocketConnected)
            log.push_back("tcp-client:" + std::string(payload));
        return std::optional<std::string>("");
    });
    if (const std::size_t p = text.find("APP["); p != std::string::npos) {
        if (const std::size_t q = text.find(']', p + 1); q != std::string::npos) {
            log.push_back("activate:" + text.substr(p + 4, q - p - 4));
            text.erase(p, q - p + 1);
        }
        log.push_back("wait:0.05");
    } else if (!s.targetWindow.empty()) {
        log.push_back("activate:" + s.targetWindow);
        log.push_back("wait:0.05");
    }
    log.push_back("key:<");
    std::size_t start = 0;
    for (std::size_t i = 1; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '^') continue;
        if (i > start) {
            log.push_back("key:" + text.substr(start, i - start));
            log.push_back("events");
        }
        start = i;
    }
    log.push_back("key:>");
    return log;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest = kest::fuzz::asText(data, size);
    if (rest.empty()) return 0;
    const unsigned switches = static_cast<unsigned char>(rest.front());
    rest.remove_prefix(1);
    kest::DryRunWorld world;
    world.serialOpen = switches & 1;
    world.tcpClientState = switches & 2 ? kest::kSocketConnected : kest::kSocketClosed;
    kest::DryRunSettings settings;
    settings.removeList = {std::string(kest::fuzz::cutAt(rest))};
    settings.search = {std::string(kest::fuzz::cutAt(rest))};
    settings.replace = {std::string(kest::fuzz::cutAt(rest))};
    settings.delay = "0";
    settings.prefix = "<";
    settings.suffix = ">";
    settings.targetWindow = switches & 4 ? "Target" : "";
    const std::string received(rest);

    kest::test::RecordingPipelineHost host;
    kest::test::FakeClock clock;
    host.removeEntries = settings.removeList;
    host.search = settings.search;
    host.replace = settings.replace;
    host.delay = settings.delay;
    host.prefix = settings.prefix;
    host.suffix = settings.suffix;
    host.target = settings.targetWindow;
    host.serialIsOpen = world.serialOpen;
    host.clientState = world.tcpClientState;
    kest::Pipeline pipeline(host, clock);
    std::string text = received;
    pipeline.PROCESS_DATA(text);
    FUZZ_CHECK(host.failures.empty());
    FUZZ_CHECK(host.log == modelLog(received, settings, world, clock));

    // The rule tester's dry run of the same text predicts the very pieces the run typed.
    const kest::DryRunResult dry = kest::dryRun(received, settings, world, clock);
    std::vector<std::string> pieces;
    for (const auto& step : dry.steps)
        if (step.kind == kest::DryRunStep::Kind::Piece) pieces.push_back(step.text);
    FUZZ_CHECK(pieces == host.keys());
    // Its text shows every control code as {ASCII:n}, so received bytes can never
    // forge a line: each line is one of the dry run's own, and one names each piece.
    const std::string rendered = kest::renderDryRun(received, settings, world, dry);
    const std::vector<std::string_view> pieceHeads = {"Prefix \"", "Piece ", "Suffix \""};
    const std::vector<std::string_view> otherHeads = {
        "Received: ", "After ",    "Rule ",         "Send-back over ", "Window activation: ",
        "  keys: ",   "  types: ", "  not typed: ", "Typed in all: "};
    std::size_t pieceLines = 0;
    std::istringstream lines(rendered);
    for (std::string line; std::getline(lines, line);) {
        const auto startsWithOneOf = [&](const std::vector<std::string_view>& heads) {
            return std::any_of(heads.begin(), heads.end(),
                               [&](std::string_view head) { return line.starts_with(head); });
        };
        const bool piece = startsWithOneOf(pieceHeads);
        pieceLines += piece;
        FUZZ_CHECK(piece || startsWithOneOf(otherHeads) ||
                   line.ends_with(" rule(s) matched nothing"));
    }
    FUZZ_CHECK(pieceLines == pieces.size());
    for (const char c : rendered) {
        const auto code = static_cast<unsigned char>(c);
        FUZZ_CHECK((code >= 0x20 && code != 0x7F) || c == '\n');
    }
    return 0;
}
