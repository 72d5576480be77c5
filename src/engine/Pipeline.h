#pragma once
// PROCESS_DATA: one received text in, keystroke pieces out.

#include <array>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace kest {

class Clock;
class PipelineHost;

// Watches a run step by step, for the rule tester: the texts between the steps are
// otherwise seen by no one. Every call comes before the effect it names.
class PipelineObserver {
  public:
    enum class Piece { Prefix, Body, Suffix };
    virtual ~PipelineObserver() = default;
    virtual void afterRemoveList(const std::string& text) = 0;
    // position counts from 1; 0 when the rule found nothing.
    virtual void afterRule(std::size_t rule, std::size_t position, const std::string& text) = 0;
    virtual void afterCodes(const std::string& text) = 0;
    virtual void afterDatesAndTimes(const std::string& text) = 0;
    // pauseSeconds is the INP_DELAY pause taken just before this piece (0 for none).
    virtual void beforePiece(Piece piece, const std::string& keys, double pauseSeconds) = 0;
};

// One search/replace rule: the first occurrence of the decoded search text is
// replaced; an empty search text inserts the replacement at the front.
std::string REPLACE_FIRST(std::string_view text, std::string_view search,
                          std::string_view replacement);

// Expands the {ASCII:n} macros of the text in place.
void DECODE_ASCII(std::string& text);

// Blocks for the given seconds (nothing for 0 or less), never past midnight.
void PAUSE_SECONDS(double seconds, Clock& clock);

// Where a text comes from: a channel received it, or the user wrote it in key notation
// for the test send. Only received text is looked at for what the user should hear.
enum class TextSource { Channel, TestSend };

class Pipeline {
  public:
    Pipeline(PipelineHost& host, Clock& clock);

    // The text is changed in place; callers pass a copy. Not while a text is suspended
    // (the runner sees to that): that text would be lost.
    void PROCESS_DATA(std::string& text, TextSource source = TextSource::Channel);

    // A text whose keys the platform refused part-way (KeysRefused: a locked screen,
    // an elevated window in front) waits here, where it stopped; its send-backs are
    // done and are not done again.
    bool suspended() const { return typing_.has_value(); }
    // Why, in the user's words; empty when nothing waits.
    std::string suspendedReason() const { return typing_ ? typing_->reason : std::string(); }
    // The text (after its macros) that waits.
    std::string suspendedText() const { return typing_ ? typing_->text : std::string(); }
    // Activates its window again and types on from where it stopped, nothing twice.
    // False when the keys are refused again: it goes on waiting.
    bool resume();

    // nullptr (the default) watches nothing.
    void setObserver(PipelineObserver* observer) { observer_ = observer; }

  private:
    // What is left to type of one text.
    struct Typing {
        std::string text;                           // after the macros
        std::optional<std::string> prefix, suffix;  // as first typed
        std::optional<std::string> window;          // activated before the first key
        std::size_t piece = 0;                      // the prefix, the body's pieces, the suffix
        std::size_t eventsDone = 0;                 // key events of that piece that went in
        bool begun = false;
        bool whole = true;   // every piece so far typed
        std::string reason;  // why the keys were refused
    };
    void removeListed(std::string& text) const;
    // origin, when given, follows the text: 'r' for a received character, 'w' for one
    // a rule wrote.
    void applyRules(std::string& text, std::string* origin) const;
    void rulesAndNotices(std::string& text, TextSource source);
    // Runs the work of a text (its steps, or a resume) and tells the host it was typed,
    // whole or not; false, with nothing told, when the platform refused its keys and
    // the text waits in typing_.
    bool finishText(const std::function<void()>& work);
    void typeText(Typing& typing);
    // Empty when the piece was typed, else why not.
    std::string sendPiece(Typing& typing, PipelineObserver::Piece kind, std::string_view piece,
                          double pause);
    void addDebug(std::string_view line);

    PipelineHost& host_;
    Clock& clock_;
    PipelineObserver* observer_ = nullptr;
    // What the user has been told about received data, so that it is looked for no more.
    std::array<bool, 256> notationUntold_;
    int notationLeft_ = 10;  // "+^%~()[]{}"
    bool utf8Told_ = false;
    std::optional<Typing> typing_;
};

// Runs texts one at a time in arrival order: a text handed over while a run is in
// progress (the pipeline lets other handlers run while it types) waits for it.
//
// Texts arrive far faster than keys can be typed, so the waiting ones are bounded by
// their bytes: once they pass kMaxQueuedBytes the runner says it is full, and the
// channels that can slow their sender stop reading until it says it has room again
// (at half the bound, so that reading does not stop and start for every text).
class PipelineRunner {
  public:
    static constexpr std::size_t kMaxQueuedBytes = std::size_t(16) << 20;

    explicit PipelineRunner(Pipeline& pipeline) : pipeline_(pipeline) {}
    void submit(std::string text, TextSource source = TextSource::Channel);
    bool busy() const { return running_; }
    std::size_t pending() const { return queue_.size(); }
    std::size_t queuedBytes() const { return queuedBytes_; }
    bool full() const { return full_; }
    // Called with true when the runner becomes full, with false when it has room again.
    void onFullChanged(std::function<void(bool full)> handler) {
        fullChanged_ = std::move(handler);
    }
    // While held, texts stay queued (the program's own window has the focus and would
    // receive the keys); releasing runs what waited, in order. A text being typed
    // finishes; the next one waits.
    void setHeld(bool held);
    bool held() const { return held_; }

    // When the platform refuses a text's keys, that text waits where it stopped and
    // every later text waits behind it, until retry() gets it typed. The handler hears
    // the reason when the wait begins (or its reason changes) and "" when it is over.
    void onWaitingForKeys(std::function<void(const std::string& reason)> handler) {
        waitingChanged_ = std::move(handler);
    }
    bool waitingForKeys() const { return pipeline_.suspended(); }
    // Tries the waiting text again; when it is typed, the texts behind it follow.
    void retry();

  private:
    void drain();
    void setFull(bool full);
    void reportWaiting();

    Pipeline& pipeline_;
    std::deque<std::pair<std::string, TextSource>> queue_;
    std::size_t queuedBytes_ = 0;
    bool full_ = false;
    std::function<void(bool)> fullChanged_;
    std::function<void(const std::string&)> waitingChanged_;
    std::string waitingReason_;
    bool running_ = false;
    bool held_ = false;
};

}  // namespace kest
