#include <gtest/gtest.h>

#include <QEvent>
#include <QWidget>

#include "ui/OffscreenApp.h"
#include "ui/TrayIcon.h"

namespace kest {
namespace {

TEST(TrayTip, TitleAddressAndInstanceCutToSixtyThree) {
    EXPECT_EQ(TrayIcon::tipText(""), "Kest Serial Keyboard https://kest-redirect.example.org");
    EXPECT_EQ(TrayIcon::tipText("_Scanner"),
              "Kest Serial Keyboard https://kest-redirect.example.org_Scanner");
    const QString tip = TrayIcon::tipText("_Scanner_001_in_the_long_hall");
    EXPECT_EQ(tip.size(), 63);
    EXPECT_EQ(tip, "Kest Serial Keyboard https://kest-redirect.example.org_Scanner_");
}

TEST(TrayTip, NeverCutsACharacterInHalf) {
    // 62 characters, then a character outside the basic plane (two UTF-16 units).
    const QString caption = QString(8, u'x') + QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString tip = TrayIcon::tipText(caption);
    EXPECT_EQ(tip.size(), 62);
    EXPECT_FALSE(tip.back().isHighSurrogate());
}

class TrayIconTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::offscreenApp();
        window = std::make_unique<QWidget>();
        window->show();
        tray = new TrayIcon(window.get(), TrayIcon::tipText("_A"), TrayIcon::programIcon());
    }

    bool shown() const {
        return window->isVisible() && !(window->windowState() & Qt::WindowMinimized);
    }
    bool hidden() const {
        return !window->isVisible() && (window->windowState() & Qt::WindowMinimized);
    }

    std::unique_ptr<QWidget> window;
    TrayIcon* tray = nullptr;  // owned by the window
};

TEST_F(TrayIconTest, IconCarriesTheTipAndTheRefreshRuns) {
    EXPECT_FALSE(TrayIcon::programIcon().isNull());
    EXPECT_EQ(tray->icon()->toolTip(), "Kest Serial Keyboard https://kest-redirect.example.org_A");
    EXPECT_TRUE(tray->TIM_REFRESH_TRAYICON->isActive());
    EXPECT_EQ(tray->TIM_REFRESH_TRAYICON->interval(), 5000);
    EXPECT_EQ(tray->parent(), window.get());
}

TEST_F(TrayIconTest, AddShowsOnceRemoveHidesForGood) {
    EXPECT_FALSE(tray->icon()->isVisible());
    tray->add();
    EXPECT_TRUE(tray->icon()->isVisible());
    tray->add();  // a present icon stays as it is
    EXPECT_TRUE(tray->icon()->isVisible());
    QMetaObject::invokeMethod(tray->TIM_REFRESH_TRAYICON, "timeout", Qt::DirectConnection);
    EXPECT_TRUE(tray->icon()->isVisible());
    tray->remove();
    EXPECT_FALSE(tray->icon()->isVisible());
    EXPECT_FALSE(tray->TIM_REFRESH_TRAYICON->isActive());
}

TEST_F(TrayIconTest, LeftClickTogglesTheWindow) {
    tray->handleMouseMessage(TrayIcon::kLeftButtonDown);
    EXPECT_TRUE(hidden());
    EXPECT_TRUE(tray->taskListVisible());
    tray->handleMouseMessage(TrayIcon::kLeftButtonDown);
    EXPECT_TRUE(shown());
    EXPECT_FALSE(tray->taskListVisible());
}

TEST_F(TrayIconTest, DoubleClickTogglesTwiceAndEndsWhereItBegan) {
    emit tray->icon()->activated(QSystemTrayIcon::Trigger);
    emit tray->icon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(shown());
    window->hide();
    emit tray->icon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(shown());
    emit tray->icon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(hidden());
}

TEST_F(TrayIconTest, OtherMessagesDoNothing) {
    for (int message : {512, 514, 516, 517, 519, 0, -1, 70000}) {
        tray->handleMouseMessage(message);
        EXPECT_TRUE(shown()) << message;
    }
    emit tray->icon()->activated(QSystemTrayIcon::Context);
    emit tray->icon()->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_TRUE(shown());
}

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
    EXPECT_TRUE(hidden());
    window->removeEventFilter(&probe);
    tray->handleMouseMessage(TrayIcon::kLeftButtonDown);  // the flag was cleared
    EXPECT_TRUE(shown());
}

TEST_F(TrayIconTest, HideToTrayHidesAndMinimises) {
    tray->HideToTray();
    EXPECT_TRUE(hidden());
    tray->ToggleWindow();
    EXPECT_TRUE(shown());
}

}  // namespace
}  // namespace kest
