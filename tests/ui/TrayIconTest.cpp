// The tray icon: its tip, its answer to clicks, what it shows of troubles, and the
// taskbar button of a window hidden to it.

#include "ui/OffscreenApp.h"
#include "ui/TaskbarTab.h"
#include "ui/TrayIcon.h"
#include "ui/TroubleState.h"

namespace kest {
namespace {

// The tip ends with the instance name; a long one loses the front of the tip, never its
// own end, and no character is cut in half.
TEST(TrayTip, EndsWithTheInstanceNameAndIsCutAtTheFront) {
    EXPECT_EQ(TrayIcon::tipText("_Scanner_001"), "Kest Serial Keyboard by Kest _Scanner_001");
    const QString longer = "_" + QString(70, u'x') + "_002";
    EXPECT_EQ(TrayIcon::tipText(longer), longer.right(63));
    // A character outside the basic plane (two UTF-16 units) where the cut falls.
    const QString wide =
        TrayIcon::tipText(QString::fromUtf8("\xF0\x9F\x98\x80") + QString(62, u'x'));
    EXPECT_EQ(wide.size(), 62);
    EXPECT_FALSE(wide.front().isLowSurrogate());
}

class TrayIconTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::offscreenApp();
        window = std::make_unique<QWidget>();
        window->show();
        tray = new TrayIcon(window.get(), TrayIcon::tipText("_A"), TrayIcon::programIcon());
    }

    std::unique_ptr<QWidget> window;
    TrayIcon* tray = nullptr;  // owned by the window
};

// A message that arrives while one is being handled is dropped.
class ReentryProbe : public QObject {
  public:
    explicit ReentryProbe(TrayIcon* tray) : tray_(tray) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Hide) tray_->handleMouseMessage(TrayIcon::kLeftButtonDown);
        return false;
    }

  private:
    TrayIcon* tray_;
};

TEST_F(TrayIconTest, SecondMessageDuringHandlingIsIgnored) {
    ReentryProbe probe(tray);
    window->installEventFilter(&probe);
    tray->handleMouseMessage(TrayIcon::kLeftButtonDown);
    EXPECT_FALSE(window->isVisible());
    window->removeEventFilter(&probe);
    tray->handleMouseMessage(TrayIcon::kLeftButtonDown);  // the flag was cleared
    EXPECT_TRUE(window->isVisible() && !window->isMinimized());
}

QStringList warnings;
void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtWarningMsg) warnings << message;
}

TEST_F(TrayIconTest, TroubleShowsTheWarningIconItsWordsAndOneBalloonAKindUntilItClears) {
    TroubleState trouble;
    tray->followTrouble(trouble);
    QList<Trouble> balloons;
    QObject::connect(&trouble, &TroubleState::began, tray, [&](Trouble kind) { balloons << kind; });
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    trouble.set(Trouble::Tcp, "listening on port 1 failed: in use");
    trouble.set(Trouble::SerialPort, "COM port 7 not open: gone");
    trouble.set(Trouble::SerialPort, "COM port 7 not open: gone");  // a retry: no news
    trouble.set(Trouble::SerialPort, "COM port 7 not open: busy");  // a new reason
    EXPECT_EQ(tray->icon()->toolTip(), tray->tip() + "\nport red, TCP failing");
    EXPECT_EQ(balloons, (QList<Trouble>{Trouble::Tcp, Trouble::SerialPort}));
    trouble.clear(Trouble::Tcp);
    trouble.clear(Trouble::SerialPort);
    EXPECT_EQ(tray->icon()->toolTip(), tray->tip());
    // Back after it cleared: a balloon again; the log has the reason already.
    trouble.set(Trouble::Tcp, "listening on port 1 failed: in use");
    qInstallMessageHandler(previous);
    EXPECT_EQ(balloons.size(), 3);
    EXPECT_EQ(warnings, QStringList({"TCP failing: listening on port 1 failed: in use",
                                     "port red: COM port 7 not open: gone",
                                     "port red: COM port 7 not open: busy"}));
}

// A window hidden to the tray (by the icon or the Tray button) leaves no taskbar button
// behind; shown again, it has its button back. Minimising is the window system's own.
TEST_F(TrayIconTest, HiddenToTheTrayTheWindowHasNoTaskbarButtonUntilItIsShown) {
    struct Taskbar : TaskbarTab::Taskbar {
        std::vector<std::string> calls;
        void deleteTab(WId) override { calls.push_back("delete"); }
        void addTab(WId) override { calls.push_back("add"); }
    };
    auto owned = std::make_unique<Taskbar>();
    const std::vector<std::string>& calls = owned->calls;  // lives as long as the window
    new TaskbarTab(window.get(), std::move(owned));
    tray->ToggleWindow();
    EXPECT_EQ(calls, std::vector<std::string>{"delete"});
    tray->ToggleWindow();
    EXPECT_EQ(calls, (std::vector<std::string>{"delete", "add"}));
    window->hide();  // the Tray button
    window->show();
    EXPECT_EQ(calls, (std::vector<std::string>{"delete", "add", "delete", "add"}));
}

}  // namespace
}  // namespace kest
