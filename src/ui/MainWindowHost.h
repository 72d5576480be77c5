#pragma once
// What the pipeline reads and does outside itself, taken from F_MAIN's controls at
// the moment it is needed.

#include "engine/Clock.h"
#include "engine/DryRun.h"
#include "engine/PipelineHost.h"

namespace kest {

class F_MAIN;
class KeyDispatch;
class WindowActivator;

// Day and month names and the short date form of the desktop's language.
DateNames localDateNames();

class MainWindowHost : public PipelineHost {
  public:
    MainWindowHost(F_MAIN& window, KeyDispatch& dispatch, WindowActivator& activator);

    std::vector<std::string> removeList() const override;
    std::vector<std::string> searchTexts() const override;
    std::vector<std::string> replaceTexts() const override;
    std::string delayText() const override;
    std::string prefixText() const override;
    std::string suffixText() const override;
    std::string targetWindowText() const override;

    bool serialOpen() const override;
    void serialWrite(const std::string& data) override;
    int tcpClientState() const override;
    int tcpListenState() const override;
    void tcpClientSend(const std::string& data) override;
    void tcpListenSend(const std::string& data) override;

    void activateWindow(const std::string& title) override;
    void handlePendingEvents() override;
    void handleEventsFor(double seconds) override;

    std::size_t debugLineCount() const override;
    void clearDebugLines() override;
    void addDebugLine(const std::string& line) override;

    void sendToKeyboard(std::string keys, bool wait, std::size_t eventsDone) override;
    void logFailure(const std::string& what) override;
    void pieceNotTyped(const std::string& reason) override;
    void textTyped(bool whole) override;
    void notice(const std::string& message) override;

    // For the rule tester: the settings as the controls hold them now, the output
    // mode the program is in, and the channels and windows as they are.
    DryRunSettings dryRunSettings() const;
    DryRunWorld dryRunWorld() const;

  private:
    F_MAIN& w_;
    KeyDispatch& dispatch_;
    WindowActivator& activator_;
};

}  // namespace kest
