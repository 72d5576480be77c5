#pragma once
// Everything the received-data pipeline reads or does outside itself. The main
// window implements it from its controls; every value is read when it is needed,
// never cached, so a run always sees the settings as they stand at that moment.

#include <cstddef>
#include <exception>
#include <string>
#include <vector>

namespace kest {

// Socket state values that the pipeline tests.
constexpr int kSocketClosed = 0;
constexpr int kSocketConnected = 7;

class PipelineHost {
  public:
    virtual ~PipelineHost() = default;

    // Settings.
    virtual std::vector<std::string> removeList() const = 0;    // LST_REMOVE_CAR rows
    virtual std::vector<std::string> searchTexts() const = 0;   // LST_TOUCHES(0)
    virtual std::vector<std::string> replaceTexts() const = 0;  // LST_TOUCHES(1)
    virtual std::string delayText() const = 0;                  // INP_DELAY
    virtual std::string prefixText() const = 0;                 // INP_PREFIX
    virtual std::string suffixText() const = 0;                 // INP_SUFFIX
    virtual std::string targetWindowText() const = 0;           // INP_TARGET_WIN

    // Send-back. The send calls may throw; the pipeline drops that send only.
    virtual bool serialOpen() const = 0;
    virtual void serialWrite(const std::string& data) = 0;  // COMM.Output
    virtual int tcpClientState() const = 0;                 // TCPIP.State
    virtual int tcpListenState() const = 0;                 // TCPIPLISTEN.State
    virtual void tcpClientSend(const std::string& data) = 0;
    virtual void tcpListenSend(const std::string& data) = 0;

    // Window activation by title; no match activates nothing.
    virtual void activateWindow(const std::string& title) = 0;

    // Lets the program's other handlers run: once, or for a while.
    virtual void handlePendingEvents() = 0;
    virtual void handleEventsFor(double seconds) = 0;

    // LST_DEBUG.
    virtual std::size_t debugLineCount() const = 0;
    virtual void clearDebugLines() = 0;
    virtual void addDebugLine(const std::string& line) = 0;

    // SEND_TO_KB with the window's switches; throws when the piece cannot be typed,
    // and KeysRefused when the platform refused its keys. eventsDone: the key events
    // of this piece that went in at an earlier, refused try, not to be typed again.
    virtual void sendToKeyboard(std::string keys, bool wait, std::size_t eventsDone) = 0;

    // A failure that the user is not shown but a developer wants to see.
    virtual void logFailure(const std::string& what) = 0;

    // Typing as the user hears of it: a piece (the prefix and suffix too) that could not
    // be typed, with the reason; then, after each text, whether every piece was typed.
    virtual void pieceNotTyped(const std::string& reason) {
        logFailure("typing failed: " + reason);
    }
    virtual void textTyped(bool whole) { (void)whole; }
    // Something about the received data that the user should know, once; the host
    // decides where it is shown.
    virtual void notice(const std::string& message) { (void)message; }
};

// Runs one operation of a run that may fail on its own (a send, an activation, the
// typing of a piece): a failure loses only that operation and is logged.
template <typename Operation>
void runLosingOnlyItself(PipelineHost& host, const char* what, Operation&& operation) {
    try {
        operation();
    } catch (const std::exception& e) {
        host.logFailure(std::string(what) + " failed: " + e.what());
    } catch (...) {
        host.logFailure(std::string(what) + " failed");
    }
}

}  // namespace kest
