#pragma once
// The controls that the configuration store reads and fills. The main window
// implements it; a setter behaves as a user's edit of that control, so it runs the
// control's own handler at once (the port reopens, the TCP role applies, ...).

#include <string>
#include <vector>

namespace kest {

class ConfigControls {
  public:
    enum class Text {
        CommPort,     // INP_COMMPORT
        Delay,        // INP_DELAY
        ComCfg,       // INP_COM_CFG
        Prefix,       // INP_PREFIX
        Suffix,       // INP_SUFFIX
        TargetWin,    // INP_TARGET_WIN
        Handshaking,  // LST_HANDSHAKING
        IpTcp,        // INP_IP_TCP
        IpPort,       // INP_IP_PORT
        FileDir,      // INP_FILE_DIR, the watched file
    };
    enum class Box {
        ApiKb,  // SW_API_KB
        Rts,    // SW_RTS
        Dtr,    // SW_DTR
        Upper,  // SW_UPPER
    };

    virtual ~ConfigControls() = default;

    // AFF_INSTANCE's caption: empty or "_" + instance name.
    virtual std::string instanceSuffix() const = 0;

    virtual std::vector<std::string> searchRows() const = 0;   // LST_TOUCHES(0)
    virtual std::vector<std::string> replaceRows() const = 0;  // LST_TOUCHES(1)
    virtual void appendSearchRow(const std::string& row) = 0;
    virtual void appendReplaceRow(const std::string& row) = 0;
    virtual std::vector<std::string> removeRows() const = 0;  // LST_REMOVE_CAR
    virtual void appendRemoveRow(const std::string& row) = 0;

    virtual std::string text(Text which) const = 0;
    virtual void setText(Text which, const std::string& value) = 0;
    // 0 unchecked, 1 checked, 2 grey.
    virtual int boxState(Box which) const = 0;
    virtual void setBoxState(Box which, int state) = 0;

    virtual bool serverSelected() const = 0;  // SW_IP_CL_SE(1)
    virtual void selectServer() = 0;          // runs SW_IP_CL_SE_Click
    virtual void refreshHandshaking() = 0;    // LST_HANDSHAKING_Click

    // A load or save problem the user is not shown but a developer wants to see.
    virtual void logFailure(const std::string& what) = 0;
};

}  // namespace kest
