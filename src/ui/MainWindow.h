#pragma once
// F_MAIN: the program's one window. Its controls hold every setting and most of the
// run-time state; the frames own their controls and handlers, and the window keeps
// the system's names for all of them so that any part can reach a control by name.

#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "engine/Pipeline.h"
#include "ui/FileFrame.h"
#include "ui/GeneralFrame.h"
#include "ui/RemoveListFrame.h"
#include "ui/SearchReplaceFrame.h"
#include "ui/SerialFrame.h"
#include "ui/TcpFrame.h"
#include "ui/ToldOnce.h"
#include "ui/TopBand.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace kest {

class ConfigFileSystem;
class ConfigStore;
class KeyboardDevice;
class KeysWait;
class MainWindowConfig;
class MainWindowHost;
class Pipeline;
class PipelineRunner;
class RuleTester;
class SystemClock;
class KeyDispatch;
class TestSend;
class TrayIcon;
class TroubleState;
class WindowActivator;

// The window's design caption; start-up appends the instance suffix.
inline constexpr const char* kDesignCaption =
    "Kest Redirect Serial/File/TCP Port to Keyboard   V1.2N";

class F_MAIN : public QWidget {
    Q_OBJECT
  public:
    F_MAIN(KeyboardDevice& keyboard, WindowActivator& activator, QWidget* parent = nullptr);
    ~F_MAIN() override;

    // --- the controls, by their system names ---
    TopBand* top;
    QLineEdit* INP_PASS = nullptr;
    std::array<QPushButton*, 2> B_HLP{};
    QPushButton* B_MIN = nullptr;
    QLabel* AFF_INSTANCE = nullptr;
    URLLink* URLLink1 = nullptr;
    URLLink* URL_SUPPORT = nullptr;
    URLLink* URLLink2 = nullptr;
    QListWidget* LST_DEBUG = nullptr;

    QGroupBox* FR_MAIN;
    QPushButton* B_SAVE;
    QGroupBox* Frame7;
    QLabel* PIC_UPDATE;
    URLLink* URLLink3;
    SerialFrame* Frame3;
    GeneralFrame* Frame4;
    FileFrame* Frame8;
    TcpFrame* Frame5;
    SearchReplaceFrame* Frame1;
    RemoveListFrame* Frame2;

    QLineEdit* INP_COMMPORT = nullptr;
    QLineEdit* INP_COM_CFG = nullptr;
    QComboBox* LST_HANDSHAKING = nullptr;
    QCheckBox* SW_DTR = nullptr;
    QCheckBox* SW_RTS = nullptr;
    QLineEdit* INP_TARGET_WIN = nullptr;
    QCheckBox* SW_UPPER = nullptr;
    QLineEdit* INP_PREFIX = nullptr;
    QLineEdit* INP_SUFFIX = nullptr;
    QCheckBox* SW_API_KB = nullptr;
    QLabel* IMG_WIN = nullptr;
    std::array<QPushButton*, 2> B_HELP_PREF_SUF{};
    QLineEdit* INP_FILE_DIR = nullptr;
    QPushButton* B_FILE_CHOSE = nullptr;
    QLabel* AFF_FILE_STATUS = nullptr;
    QLineEdit* INP_IP_TCP = nullptr;
    QLineEdit* INP_IP_PORT = nullptr;
    QPushButton* B_IP_RESET = nullptr;
    QLabel* AFF_TCP_STATUS = nullptr;
    std::array<QRadioButton*, 2> SW_IP_CL_SE{};
    std::array<QListWidget*, 2> LST_TOUCHES{};
    QLineEdit* INP_INPUT = nullptr;
    QLineEdit* INP_OUTPUT = nullptr;
    QPushButton* B_TEST_SEND = nullptr;
    QPushButton* B_RULE_TESTER = nullptr;
    QPushButton* B_ADD = nullptr;
    QPushButton* B_DEL = nullptr;
    QListWidget* LST_REMOVE_CAR = nullptr;
    QLineEdit* INP_REMOVE_CAR = nullptr;
    QPushButton* B_ADD_REMOVE_CAR = nullptr;
    QPushButton* B_DEL_REMOVE_CAR = nullptr;
    QLineEdit* INP_DELAY;  // bottom band, never in view
    std::vector<PictureBox*> Picture1;
    SerialChannel* COMM = nullptr;
    TcpChannel* tcpChannel = nullptr;
    FileChannel* fileChannel = nullptr;
    TestSend* testSend = nullptr;
    std::unique_ptr<TrayIcon> tray;  // created by the start-up

    // --- handlers of the window itself ---
    void INP_PASS_Change();
    void INP_PASS_GotFocus();
    // Saves and marks a failure on B_SAVE; true when every file was written.
    bool B_SAVE_Click();
    void LOAD_CFG();
    void B_HLP_Click(int index);
    void B_HELP_PREF_SUF_Click(int index);
    void B_MIN_Click();
    void Picture1_Click(int index);
    // Opens the rule tester (made at the first click), or brings it to the front.
    void B_RULE_TESTER_Click();
    RuleTester* ruleTester = nullptr;

    // The pipeline's one entry for every received text, and for the test send's.
    void processData(const QByteArray& text, TextSource source = TextSource::Channel);
    // A serial port cannot be slowed: while the pipeline is full its bursts are
    // dropped, and said so, rather than kept without end.
    void processSerialData(const QByteArray& text);

    ConfigStore& configStore() { return *store_; }
    MainWindowHost& host() { return *host_; }
    KeyDispatch& keyDispatch() { return *dispatch_; }
    PipelineRunner& runner() { return *runner_; }
    // The outer height the lock rule asks for, in pixels.
    int requestedOuterHeight() const { return outerHeightPx_; }
    // Ends the program when "END" is typed; tests replace it.
    std::function<void()> endProgram;
    // Replaces the help window (tests).
    std::function<void(int tag)> openHelp;
    // Whether one of the program's own windows has the keyboard focus: received texts
    // wait meanwhile, as they would be typed into our own fields (tests replace it).
    std::function<bool()> ownWindowFocused;
    // Texts wait while our window has the focus and go once it has gone elsewhere.
    void focusChanged();
    // True while a received text would be typed into our own window: it has the focus
    // and no target window is set.
    bool textsMustWait() const;
    // Something the user must know about what the program cannot do here: shown in the
    // debug list and logged, each distinct message once per run.
    void showNotice(const QString& message);
    // What does not work now; the notification-area icon shows it.
    TroubleState& trouble() { return *trouble_; }

  signals:
    // Why received texts wait for the platform to accept keys ("the window in front
    // runs as administrator", a locked screen), in the user's words, whenever it
    // changes: a wait begins ("" before), its reason changes, or it ends ("").
    // For the tray icon's trouble state.
    void keysWaitingChanged(const QString& reason);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void showDebugLine(const QString& line);
    void buildConfigFrame();
    void buildBottomBand();
    void bindNames();
    void connectHandlers();
    void setOuterHeightTwips(int twips);
    void applyOuterHeight();

    std::unique_ptr<SystemClock> clock_;
    std::unique_ptr<KeyDispatch> dispatch_;
    std::unique_ptr<MainWindowHost> host_;
    std::unique_ptr<Pipeline> pipeline_;
    std::unique_ptr<PipelineRunner> runner_;
    KeysWait* keysWait_ = nullptr;
    std::unique_ptr<MainWindowConfig> config_;
    std::unique_ptr<ConfigFileSystem> files_;
    std::unique_ptr<ConfigStore> store_;
    TroubleState* trouble_;
    int outerHeightPx_ = 0;
    qint64 serialDropped_ = 0;  // bytes of serial bursts dropped while the pipeline was full
    ToldOnce noticesShown_;
    // Where the window's client area stood when it was hidden; it comes back there.
    std::optional<QPoint> keptPosition_;
};

}  // namespace kest
