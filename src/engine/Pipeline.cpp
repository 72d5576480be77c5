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
#include "engine/TextUtil.h"
#include "keyboard/KeyboardDevice.h"

namespace kest {

namespace {

constexpr std::size_t kDebugListLimit = 20;

// REPLACE_FIRST without copying the text, which matters with many rules on long texts.
// Returns where the rule matched, counted from 1, or 0.
std::size_t replaceFirstInPlace(std::string& text, std::string_view search,
                                std::string_view replacement) {
    std::string decoded(search);
    DECODE_ASCII(decoded);
    const std::size_t p = text.find(decoded);
    if (p == std::string::npos) return 0;
    text.replace(p, decoded.size(), replacement);
    return p + 1;
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

Pipeline::Pipeline(PipelineHost& host, Clock& clock) : host_(host), clock_(clock) {}

void Pipeline::PROCESS_DATA(std::string& text) {
    try {
        removeListed(text);
        if (observer_) observer_->afterRemoveList(text);
        applyRules(text);
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
        typing_.reset();
    } catch (const KeysRefused&) {
        // The text waits in typing_, where it stopped.
    } catch (const std::exception& e) {
        typing_.reset();
        host_.logFailure(std::string("received text dropped: ") + e.what());
    } catch (...) {
        // Whatever a host throws stops here, as in the guard of each operation: the
        // runner must go on to the texts queued behind this one.
        typing_.reset();
        host_.logFailure("received text dropped: unknown error");
    }
}

bool Pipeline::resume() {
    if (!typing_) return true;
    try {
        // The focus may have moved while the text waited.
        if (typing_->window) activateWindowAgain(*typing_->window, host_);
        typeText(*typing_);
        typing_.reset();
    } catch (const KeysRefused&) {
        return false;
    } catch (const std::exception& e) {
        typing_.reset();
        host_.logFailure(std::string("received text dropped: ") + e.what());
    } catch (...) {
        typing_.reset();
        host_.logFailure("received text dropped: unknown error");
    }
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

void Pipeline::applyRules(std::string& text) const {
    const std::vector<std::string> search = host_.searchTexts();
    const std::vector<std::string> replace = host_.replaceTexts();
    for (std::size_t k = 0; k < search.size(); ++k) {
        if (k >= replace.size()) {
            // Only hand-edited configuration files can leave a rule without its
            // replacement; such a rule is passed over rather than guessed at.
            host_.logFailure("search/replace rule " + std::to_string(k) + " has no replacement");
            continue;
        }
        const std::size_t position = replaceFirstInPlace(text, search[k], replace[k]);
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
// kept for a later try. A body piece before the last waits INP_DELAY and goes to the
// debug list before it is typed, the last one after; a piece that was begun at an
// earlier, refused try does neither again.
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
            addDebug(piece);
        }
        sendPiece(typing, Kind::Body, piece, pause);
        host_.handlePendingEvents();
        if (last) addDebug(piece);
    }
}

// A piece that cannot be typed is lost alone, and logged; one whose keys the platform
// refused stops the text where it stands.
void Pipeline::sendPiece(Typing& typing, PipelineObserver::Piece kind, std::string_view piece,
                         double pause) {
    const std::string keys(piece);
    if (observer_) observer_->beforePiece(kind, keys, pause);
    const char* what = kind == PipelineObserver::Piece::Prefix   ? "typing the prefix"
                       : kind == PipelineObserver::Piece::Suffix ? "typing the suffix"
                                                                 : "typing a piece";
    try {
        host_.sendToKeyboard(keys, true, typing.eventsDone);
    } catch (KeysRefused& refused) {
        typing.eventsDone = refused.eventsDone;
        typing.reason = refused.what();
        throw;
    } catch (const std::exception& e) {
        host_.logFailure(std::string(what) + " failed: " + e.what());
    } catch (...) {
        host_.logFailure(std::string(what) + " failed");
    }
}

void Pipeline::addDebug(std::string_view line) {
    if (host_.debugLineCount() > kDebugListLimit) host_.clearDebugLines();
    host_.addDebugLine(std::string(line));
}

void PipelineRunner::submit(std::string text) {
    queuedBytes_ += text.size();
    queue_.push_back(std::move(text));
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
        std::string next = std::move(queue_.front());
        queue_.pop_front();
        queuedBytes_ -= next.size();
        if (queuedBytes_ <= kMaxQueuedBytes / 2) setFull(false);
        pipeline_.PROCESS_DATA(next);
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
