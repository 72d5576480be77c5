#pragma once
// A PipelineHost with plain fields for settings that records everything the
// pipeline does, in order, as readable lines.

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/PipelineHost.h"
#include "keyboard/KeyboardDevice.h"

namespace kest::test {

class RecordingPipelineHost : public PipelineHost {
  public:
    std::vector<std::string> removeEntries, search, replace;
    std::string delay = ".2", prefix, suffix, target;
    bool serialIsOpen = false;
    int clientState = kSocketClosed, listenState = kSocketClosed;
    bool failSends = false;
    std::string rejectPiece;  // a piece that sendToKeyboard refuses
    // The platform refuses keys (KeysRefused) once this many more characters went in;
    // negative: never.
    long acceptChars = -1;
    std::string refusal = "the screen is locked";
    std::vector<std::string> debugLines;
    // Everything done, in order: "key:<piece>", "serial:<data>", "tcp-client:<data>",
    // "tcp-listen:<data>", "activate:<title>", "events", "wait:<seconds>".
    std::vector<std::string> log;
    std::vector<std::string> failures;
    std::vector<std::string> notices;
    std::vector<bool> textsTyped;  // whole or not, one per text

    std::vector<std::string> removeList() const override { return removeEntries; }
    std::vector<std::string> searchTexts() const override { return search; }
    std::vector<std::string> replaceTexts() const override { return replace; }
    std::string delayText() const override { return delay; }
    std::string prefixText() const override { return prefix; }
    std::string suffixText() const override { return suffix; }
    std::string targetWindowText() const override { return target; }
    bool serialOpen() const override { return serialIsOpen; }
    void serialWrite(const std::string& data) override { send("serial:", data); }
    int tcpClientState() const override { return clientState; }
    int tcpListenState() const override { return listenState; }
    void tcpClientSend(const std::string& data) override { send("tcp-client:", data); }
    void tcpListenSend(const std::string& data) override { send("tcp-listen:", data); }
    void activateWindow(const std::string& title) override { log.push_back("activate:" + title); }
    void handlePendingEvents() override {
        log.push_back("events");
        if (onEvents) onEvents();
    }
    void handleEventsFor(double seconds) override {
        log.push_back("wait:" + std::to_string(seconds).substr(0, 4));
    }
    std::size_t debugLineCount() const override { return debugLines.size(); }
    void clearDebugLines() override { debugLines.clear(); }
    void addDebugLine(const std::string& line) override { debugLines.push_back(line); }
    // Each character stands for one key event. Characters typed of a piece that was
    // refused part-way are logged as they went in: "key:He", then "key:llo".
    void sendToKeyboard(std::string keys, bool wait, std::size_t eventsDone) override {
        if (!wait) throw std::logic_error("the pipeline always waits for its keys");
        if (!rejectPiece.empty() && keys == rejectPiece) throw std::runtime_error("rejected");
        std::string rest = keys.substr(std::min(eventsDone, keys.size()));
        if (acceptChars >= 0 && rest.size() > std::size_t(acceptChars)) {
            if (acceptChars > 0) log.push_back("key:" + rest.substr(0, std::size_t(acceptChars)));
            KeysRefused refused(refusal);
            refused.eventsDone = eventsDone + std::size_t(acceptChars);
            acceptChars = 0;
            throw refused;
        }
        if (acceptChars >= 0) acceptChars -= long(rest.size());
        log.push_back("key:" + rest);
    }
    void logFailure(const std::string& what) override { failures.push_back(what); }
    void textTyped(bool whole) override { textsTyped.push_back(whole); }
    void notice(const std::string& message) override { notices.push_back(message); }

    // Runs inside handlePendingEvents, to act as another handler would.
    std::function<void()> onEvents;

    std::vector<std::string> keys() const {
        std::vector<std::string> out;
        for (const auto& line : log)
            if (line.rfind("key:", 0) == 0) out.push_back(line.substr(4));
        return out;
    }

  private:
    void send(const char* where, const std::string& data) {
        if (failSends) throw std::runtime_error("send failed");
        log.push_back(where + data);
    }
};

}  // namespace kest::test
