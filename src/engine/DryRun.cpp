#include "engine/DryRun.h"

#include <exception>

#include "engine/Clock.h"
#include "engine/OutputMacros.h"
#include "keyboard/KeyDispatch.h"

namespace kest {

namespace {

using Step = DryRunStep;

Step makeStep(Step::Kind kind, const std::string& text) {
    Step step;
    step.kind = kind;
    step.text = text;
    return step;
}

// The real date and time; the pauses of the pipeline and the player take no time.
class NoWaitClock final : public Clock {
  public:
    explicit NoWaitClock(const Clock& real) : real_(real) {}
    LocalDateTime now() const override { return real_.now(); }
    double secondsSinceMidnight() const override { return real_.secondsSinceMidnight(); }
    void sleepFor(double) override {}
    const DateNames& dateNames() const override { return real_.dateNames(); }

  private:
    const Clock& real_;
};

// Answers the pipeline from the settings and the world, and writes down what it is
// asked to do instead of doing it.
class RecordingHost final : public PipelineHost, public PipelineObserver {
  public:
    RecordingHost(const DryRunSettings& s, const DryRunWorld& w, Clock& clock)
        : s_(s), w_(w), dispatch_(device_, clock) {
        dispatch_.setModeTag(s.modeTag);
    }

    DryRunResult result;

    std::vector<std::string> removeList() const override { return s_.removeList; }
    std::vector<std::string> searchTexts() const override { return s_.search; }
    std::vector<std::string> replaceTexts() const override { return s_.replace; }
    std::string delayText() const override { return s_.delay; }
    std::string prefixText() const override { return s_.prefix; }
    std::string suffixText() const override { return s_.suffix; }
    std::string targetWindowText() const override { return s_.targetWindow; }

    bool serialOpen() const override { return w_.serialOpen; }
    void serialWrite(const std::string& data) override {
        send(Step::Kind::SerialSend, data, "serial port");
    }
    // Every TCP send-back is asked for, so that each one is shown; the real states
    // decide which channel would carry it. The text comes out the same: the pipeline
    // removes the macro whether or not it sends.
    int tcpClientState() const override { return kSocketConnected; }
    int tcpListenState() const override { return kSocketConnected; }
    void tcpClientSend(const std::string& data) override {
        const char* channel = w_.tcpClientState == kSocketConnected   ? "TCP client"
                              : w_.tcpListenState == kSocketConnected ? "TCP server"
                                                                      : "";
        send(Step::Kind::TcpSend, data, channel);
    }
    void tcpListenSend(const std::string& data) override { tcpClientSend(data); }

    void activateWindow(const std::string& title) override {
        Step step = makeStep(Step::Kind::Activation, title);
        if (w_.windowExists) step.windowExists = w_.windowExists(title);
        result.steps.push_back(std::move(step));
    }
    void handlePendingEvents() override {}
    void handleEventsFor(double) override {}
    std::size_t debugLineCount() const override { return 0; }
    void clearDebugLines() override {}
    void addDebugLine(const std::string&) override {}

    void sendToKeyboard(std::string keys, bool wait, std::size_t) override {
        Step& step = result.steps.back();  // opened by beforePiece
        device_.clear();
        try {
            dispatch_.SEND_TO_KB(keys, wait, s_.apiKb, s_.upper);
        } catch (const std::exception& e) {
            step.error = e.what();
            throw;  // the pipeline drops the piece, as it does in a real run
        }
        step.outcome = describeKeyEvents(device_.events());
        result.characters += step.outcome.characters;
        result.shown += step.outcome.shown;
    }
    void logFailure(const std::string&) override {}

    void afterRemoveList(const std::string& text) override {
        textStep(Step::Kind::RemoveList, text);
    }
    void afterRule(std::size_t rule, std::size_t position, const std::string& text) override {
        // A rule that matched nothing left the text as it was: not kept again, which
        // matters with many rules on a long sample.
        Step step = makeStep(Step::Kind::Rule, position == 0 ? std::string() : text);
        step.rule = rule;
        step.position = position;
        result.steps.push_back(std::move(step));
    }
    void afterCodes(const std::string& text) override { textStep(Step::Kind::Codes, text); }
    void afterDatesAndTimes(const std::string& text) override {
        textStep(Step::Kind::DatesAndTimes, text);
        if (w_.serialOpen) return;
        // With the port closed the pipeline leaves the serial macros in the text to be
        // typed; each is shown as a send-back that does not happen.
        std::string copy = text;
        expandMacroRounds(copy, "{TX_SERIAL[", "]}", [this](std::string_view payload) {
            send(Step::Kind::SerialSend, std::string(payload), "");
            return std::optional<std::string>(std::string());
        });
    }
    void beforePiece(Piece piece, const std::string& keys, double pauseSeconds) override {
        Step step = makeStep(Step::Kind::Piece, keys);
        step.piece = piece;
        step.pauseSeconds = pauseSeconds > 0 ? pauseSeconds : 0;
        result.steps.push_back(std::move(step));
    }

    std::string modeTag() const { return dispatch_.modeTag(); }

  private:
    void textStep(Step::Kind kind, const std::string& text) {
        result.steps.push_back(makeStep(kind, text));
    }
    void send(Step::Kind kind, const std::string& data, const char* channel) {
        Step step = makeStep(kind, data);
        step.channel = channel;
        step.sent = *channel != '\0';
        result.steps.push_back(std::move(step));
    }

    const DryRunSettings& s_;
    const DryRunWorld& w_;
    RecordingKeyboardDevice device_;
    KeyDispatch dispatch_;
};

}  // namespace

DryRunResult dryRun(std::string text, const DryRunSettings& settings, const DryRunWorld& world,
                    const Clock& clock) {
    NoWaitClock noWait(clock);
    RecordingHost host(settings, world, noWait);
    Pipeline pipeline(host, noWait);
    pipeline.setObserver(&host);
    pipeline.PROCESS_DATA(text);
    host.result.modeTagAfter = host.modeTag();
    return std::move(host.result);
}

std::string replacementNotTyped(const std::string& replacement, const DryRunSettings& settings,
                                const Clock& clock) {
    DryRunSettings alone;
    alone.apiKb = settings.apiKb;
    alone.upper = settings.upper;
    alone.modeTag = settings.modeTag;
    // Send-backs take their macros out of the text whether or not a channel is up.
    DryRunWorld world;
    world.serialOpen = true;
    world.channelsAssumed = true;
    const DryRunResult result = dryRun(replacement, alone, world, clock);
    for (const DryRunStep& step : result.steps)
        if (step.kind == DryRunStep::Kind::Piece && !step.error.empty()) return step.error;
    return {};
}

}  // namespace kest
