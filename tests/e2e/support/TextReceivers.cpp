#include "e2e/support/TextReceivers.h"

#include <sstream>
#include <stdexcept>
#include <vector>

#include "keyboard/KeyNotation.h"

#if !defined(KEST_RECEIVERS_DIR) || !defined(KEST_QT_RECEIVER_PATH)
#error "KEST_RECEIVERS_DIR and KEST_QT_RECEIVER_PATH must name the receivers"
#endif

namespace kest::e2e {

const char* receiverName(ReceiverKind kind) {
    static const char* const names[] = {"xterm", "gtk", "tk", "qt"};
    return names[static_cast<int>(kind)];
}

TextReceiver::TextReceiver(const PrivateDisplay& display, ReceiverKind kind,
                           const std::string& title)
    : display_(&display), kind_(kind), title_(title), out_(dir_.path() + "/received") {
    if (kind == ReceiverKind::Xterm) {
        xterm_ = std::make_unique<XtermReceiver>(display, title);
        return;
    }
    start(display.env(), false);
}

TextReceiver::TextReceiver(const std::map<std::string, std::string>& waylandEnv, ReceiverKind kind,
                           const std::string& title)
    : kind_(kind), title_(title), out_(dir_.path() + "/received") {
    start(waylandEnv, true);
}

void TextReceiver::start(const std::map<std::string, std::string>& env, bool wayland) {
    // The system's interpreter: python3-gi and python3-tk are installed for it, not for
    // another python3 that may come first in PATH.
    std::vector<std::string> command{"/usr/bin/python3", KEST_RECEIVERS_DIR "/tk_receiver.py"};
    if (kind_ == ReceiverKind::Gtk) command[1] = KEST_RECEIVERS_DIR "/gtk_receiver.py";
    if (kind_ == ReceiverKind::Qt)
        command = {KEST_QT_RECEIVER_PATH, "-platform", wayland ? "wayland" : "xcb"};
    command.insert(command.end(), {title_, dir_.path()});
    const std::string log = dir_.path() + "/log";
    process_ = std::make_unique<ChildProcess>(command, env, log, true);
    if (!waitUntil([&] { return statusSays("ready"); }, 20s)) {
        throw std::runtime_error(std::string(receiverName(kind_)) +
                                 " receiver did not start: " + readFile(log));
    }
}

bool TextReceiver::focus() const {
    if (display_ && !focusWindowTitled(display_->name(), title_)) return false;
    // xterm says nothing about its focus; the others wait for their text field to have it.
    return kind_ == ReceiverKind::Xterm || waitUntil([&] { return statusSays("focus"); });
}

bool TextReceiver::waitForText(const std::string& expected, std::chrono::milliseconds quiet) const {
    waitForGrowth([&] { return received().size(); }, expected.size(), quiet);
    return received() == expected;
}

bool TextReceiver::statusSays(const std::string& line) const {
    std::istringstream in(readFile(dir_.path() + "/status"));
    for (std::string l; std::getline(in, l);) {
        if (l == line) return true;
    }
    return false;
}

std::string typeEachText(KeyboardDevice& device, const TextReceiver& receiver,
                         const std::vector<std::string>& texts) {
    std::string expected;
    for (const auto& text : texts) {
        SendKeys(literalKeyNotation(text), true, device);
        expected += cp1252ToUtf8(text);
        if (!receiver.waitForText(expected))
            return "got:\n" + receiver.received() + "\nwanted:\n" + expected;
    }
    return "";
}

}  // namespace kest::e2e
