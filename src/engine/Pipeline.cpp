#include "engine/Pipeline.h"

#include <algorithm>
#include <array>
#include <exception>
#include <utility>
#include <vector>

#include "engine/Clock.h"
#include "engine/NumericValue.h"
#include "engine/OutputMacros.h"
#include "engine/PipelineHost.h"
#include "engine/ReceivedNotices.h"
#include "engine/TextUtil.h"
#include "keyboard/KeyboardDevice.h"

namespace kest {

namespace {

constexpr std::size_t kDebugListLimit = 20;

// REPLACE_FIRST without copying the text, which matters with many rules on long texts.
// Returns where the rule matched, counted from 1, or 0; and how much it replaced.
std::size_t replaceFirstInPlace(std::string& text, std::string_view search,
                                std::string_view replacement, std::size_t* replaced = nullptr) {
    std::string decoded(search);
    DECODE_ASCII(decoded);
    const std::size_t p = text.find(decoded);
    if (p == std::string::npos) return 0;
    text.replace(p, decoded.size(), replacement);
    if (replaced) *replaced = decoded.size();
    return p + 1;
}

std::array<bool, 256> notationCharacters() {
    std::array<bool, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c)
        table[c] = isNotationCharacter(static_cast<char>(c));
    return table;
}

}  // namespace

std::string REPLACE_FIRST(std::string_view text, std::string_view search,
                          std::string_view replacement) {
    std::string result(text);
    replaceFirstInPlace(result, search, replacement);
    return result;
}

void DECODE_ASCII(std::string& text) {
    expandMacroRounds(text, "{ASCII:", "}", [](std::string_view codeText) {
        const double code = roundHalfEven(numericValue(codeText));
        if (!(code >= 0 && code <= 255)) return std::optional<std::string>();
        return std::optional<std::string>(
            std::string(1, static_cast<char>(static_cast<int>(code))));
    });
}

void PAUSE_SECONDS(double seconds, Clock& clock) {
    pauseUntilMidnightAtMost(seconds, clock);
}

Pipeline::Pipeline(PipelineHost& host, Clock& clock)
    : host_(host), clock_(clock), notationUntold_(notationCharacters()) {}

void Pipeline::PROCESS_DATA(std::string& text, TextSource source) {
    finishText([&] {
        removeListed(text);
        if (observer_) observer_->afterRemoveList(text);
        rulesAndNotices(text, source);
        DECODE_ASCII(text);
        if (observer_) observer_->afterCodes(text);
        expandDateMacros(text, clock_);
        expandTimeMacros(text, clock_);
        if (observer_) observer_->afterDatesAndTimes(text);
        sendSerialMacros(text, host_);
        sendTcpMacros(text, host_);
        Typing typing;
        typing.window = activateTargetWindow(text, host_);
        typing.text = std::move(text);
        typing_ = std::move(typing);
        typeText(*typing_);
    });
}

bool Pipeline::resume() {
    if (!typing_) return true;
    return finishText([&] {
        // The focus may have moved while the text waited.
        if (typing_->window) activateWindowAgain(*typing_->window, host_);
        typeText(*typing_);
    });
}

bool Pipeline::finishText(const std::function<void()>& work) {
    bool whole = true;
    try {
        work();
        whole = typing_->whole;
    } catch (const KeysRefused&) {
        // The text waits in typing_, where it stopped; it is told typed when it is done.
        return false;
    } catch (const std::exception& e) {
        host_.logFailure(std::string("received text dropped: ") + e.what());
        whole = false;
    } catch (...) {
        // Whatever a host throws stops here, as in the guard of each operation: the
        // runner must go on to the texts queued behind this one.
        host_.logFailure("received text dropped: unknown error");
        whole = false;
    }
    typing_.reset();
    host_.textTyped(whole);
    return true;
}

void Pipeline::removeListed(std::string& text) const {
    // An entry removes the character whose code equals its numeric value; entries
    // that are not a whole number from 0 to 255 equal no code and remove nothing.
    std::array<bool, 256> removed{};
    bool any = false;
    for (const std::string& entry : host_.removeList()) {
        const double code = numericValue(entry);
        if (code >= 0 && code <= 255 && code == static_cast<int>(code)) {
            removed[static_cast<std::size_t>(code)] = true;
            any = true;
        }
    }
    if (!any) return;
    std::erase_if(text, [&](char c) { return removed[static_cast<unsigned char>(c)]; });
}

void Pipeline::rulesAndNotices(std::string& text, TextSource source) {
    if (source != TextSource::Channel) return applyRules(text, nullptr);
    if (!utf8Told_) {
        const std::string notice = utf8Notice(text);
        if (!notice.empty()) {
            utf8Told_ = true;
            host_.notice(notice);
        }
    }
    // Which characters the rules wrote is followed only while received text still
    // holds a notation character that the user has not been told about: one look at
    // each character, which long texts feel otherwise.
    const bool untold = notationLeft_ > 0 && std::any_of(text.begin(), text.end(), [this](char c) {
                            return notationUntold_[static_cast<unsigned char>(c)];
                        });
    if (!untold) return applyRules(text, nullptr);
    std::string origin(text.size(), 'r');
    applyRules(text, &origin);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (origin[i] != 'r' || !notationUntold_[c]) continue;
        notationUntold_[c] = false;
        --notationLeft_;
        host_.notice(notationNotice(text[i]));
    }
}

void Pipeline::applyRules(std::string& text, std::string* origin) const {
    const std::vector<std::string> search = host_.searchTexts();
    const std::vector<std::string> replace = host_.replaceTexts();
    for (std::size_t k = 0; k < search.size(); ++k) {
        if (k >= replace.size()) {
            // Only hand-edited configuration files can leave a rule without its
            // replacement; such a rule is passed over rather than guessed at.
            host_.logFailure("search/replace rule " + std::to_string(k) + " has no replacement");
            continue;
        }
        std::size_t replaced = 0;
        const std::size_t position = replaceFirstInPlace(text, search[k], replace[k], &replaced);
        if (origin && position > 0) origin->replace(position - 1, replaced, replace[k].size(), 'w');
        if (observer_) observer_->afterRule(k, position, text);
    }
}

namespace {

// The body cut before each caret after its first character: the caret opens the next
// piece, where it holds Ctrl for the key after it. An empty body has no piece.
std::vector<std::string_view> bodyPieces(std::string_view body) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t caret = body.find('^', 1); caret != std::string::npos;
         caret = body.find('^', caret + 1)) {
        pieces.push_back(body.substr(start, caret - start));
        start = caret;
    }
    if (start < body.size()) pieces.push_back(body.substr(start));
    return pieces;
}

}  // namespace

// Types from where the text stands: the prefix (piece 0), the body's pieces, the
// suffix (the last). The prefix and the suffix are read when they are first typed and
// kept for a later try. A body piece before the last waits INP_DELAY before it is
// typed; a piece that was begun at an earlier, refused try does not wait again. Each
// body piece goes to the debug list once it is done with, marked when it was not typed.
void Pipeline::typeText(Typing& typing) {
    using Kind = PipelineObserver::Piece;
    const bool again = std::exchange(typing.begun, true);
    const std::vector<std::string_view> body = bodyPieces(typing.text);
    for (bool first = true; typing.piece < body.size() + 2;
         ++typing.piece, typing.eventsDone = 0, first = false) {
        if (typing.piece == 0 || typing.piece == body.size() + 1) {
            const bool prefix = typing.piece == 0;
            std::optional<std::string>& keys = prefix ? typing.prefix : typing.suffix;
            if (!keys) keys = prefix ? host_.prefixText() : host_.suffixText();
            if (!trimSpaces(*keys).empty())
                sendPiece(typing, prefix ? Kind::Prefix : Kind::Suffix, *keys, 0);
            continue;
        }
        const std::string_view piece = body[typing.piece - 1];
        const bool last = typing.piece == body.size();
        double pause = 0;
        if (!last && !(again && first)) {
            pause = numericValue(host_.delayText());
            PAUSE_SECONDS(pause, clock_);
        }
        const std::string failure = sendPiece(typing, Kind::Body, piece, pause);
        const std::string line = failure.empty()
                                     ? std::string(piece)
                                     : "NOT TYPED (" + failure + "): " + std::string(piece);
        if (!last) addDebug(line);
        host_.handlePendingEvents();
        if (last) addDebug(line);
    }
}

// A piece that cannot be typed is lost alone, and the user hears why; one whose keys
// the platform refused stops the text where it stands. Empty when the piece was typed,
// else why not.
std::string Pipeline::sendPiece(Typing& typing, PipelineObserver::Piece kind,
                                std::string_view piece, double pause) {
    const std::string keys(piece);
    if (observer_) observer_->beforePiece(kind, keys, pause);
    std::string failure;
    try {
        host_.sendToKeyboard(keys, true, typing.eventsDone);
        return failure;
    } catch (KeysRefused& refused) {
        typing.eventsDone = refused.eventsDone;
        typing.reason = refused.what();
        throw;
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
    }
    if (failure.empty()) failure = "unknown error";
    typing.whole = false;
    host_.pieceNotTyped(failure);
    return failure;
}

void Pipeline::addDebug(std::string_view line) {
    if (host_.debugLineCount() > kDebugListLimit) host_.clearDebugLines();
    host_.addDebugLine(std::string(line));
}

void PipelineRunner::submit(std::string text, TextSource source) {
    queuedBytes_ += text.size();
    queue_.emplace_back(std::move(text), source);
    if (queuedBytes_ >= kMaxQueuedBytes) setFull(true);
    drain();
}

void PipelineRunner::setHeld(bool held) {
    held_ = held;
    drain();
}

void PipelineRunner::retry() {
    if (running_ || held_) return;
    if (pipeline_.suspended()) {
        running_ = true;
        const bool typed = pipeline_.resume();
        running_ = false;
        reportWaiting();
        if (!typed) return;
    }
    drain();
}

void PipelineRunner::drain() {
    // The run in progress takes the queue when it is done; a text that waits for its
    // keys keeps every later one waiting behind it.
    if (running_ || held_ || pipeline_.suspended()) return;
    running_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{running_};
    while (!queue_.empty() && !held_) {
        auto [next, source] = std::move(queue_.front());
        queue_.pop_front();
        queuedBytes_ -= next.size();
        if (queuedBytes_ <= kMaxQueuedBytes / 2) setFull(false);
        pipeline_.PROCESS_DATA(next, source);
        if (pipeline_.suspended()) break;
    }
    reportWaiting();
}

void PipelineRunner::reportWaiting() {
    const std::string reason = pipeline_.suspendedReason();
    if (reason == waitingReason_) return;
    waitingReason_ = reason;
    if (waitingChanged_) waitingChanged_(reason);
}

void PipelineRunner::setFull(bool full) {
    if (full == full_) return;
    full_ = full;
    if (fullChanged_) fullChanged_(full);
}

}  // namespace kest
