#pragma once
// The programs people type into, as receivers for the end-to-end tests: xterm, and
// small editors of our own on GTK 3, Tk and Qt 6. Each writes what it received to a
// file in UTF-8 and has a window title the tests focus it by.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "e2e/support/E2eHarness.h"
#include "keyboard/KeyboardDevice.h"

namespace kest::e2e {

enum class ReceiverKind { Xterm, Gtk, Tk, Qt };

const char* receiverName(ReceiverKind kind);  // "xterm", "gtk", "tk", "qt"

class TextReceiver {
  public:
    // Starts the receiver and returns once its window is up; it does not take the focus.
    TextReceiver(const PrivateDisplay& display, ReceiverKind kind, const std::string& title);
    // A native Wayland window (GTK and Qt only) on the compositor whose clients have env;
    // the compositor gives it the focus, as desktops give it to a new window.
    TextReceiver(const std::map<std::string, std::string>& waylandEnv, ReceiverKind kind,
                 const std::string& title);
    TextReceiver(const TextReceiver&) = delete;
    TextReceiver& operator=(const TextReceiver&) = delete;

    // Gives the receiver the keyboard focus and waits until its text field has it.
    bool focus() const;
    // Waits until the text field has lost the focus (GTK only).
    bool waitForBlur() const {
        return waitUntil([&] { return statusSays("blur"); }, 30s);
    }
    std::string received() const { return xterm_ ? xterm_->received() : readFile(out_); }
    // Whether the receiver still runs: one that its compositor threw off has ended.
    bool running() const { return process_ && process_->running(); }
    // Waits until the receiver holds at least as many bytes as expected, or stops
    // getting any for quiet; true when what it holds is exactly expected.
    bool waitForText(const std::string& expected, std::chrono::milliseconds quiet = 10s) const;

  private:
    bool statusSays(const std::string& line) const;
    void start(const std::map<std::string, std::string>& env, bool wayland);

    const PrivateDisplay* display_ = nullptr;
    ReceiverKind kind_;
    std::string title_;
    TempDir dir_;
    std::string out_;
    std::unique_ptr<ChildProcess> process_;
    std::unique_ptr<XtermReceiver> xterm_;
};

// Types the texts (Windows-1252, each character as itself) one after another and waits
// after each until the receiver holds all typed so far; "" when it does, else what it
// got and what was wanted.
std::string typeEachText(KeyboardDevice& device, const TextReceiver& receiver,
                         const std::vector<std::string>& texts);

}  // namespace kest::e2e
