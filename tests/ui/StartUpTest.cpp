// Form_Load's order and effects with the instance guard.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include "app/StartUp.h"
#include "platform/InstanceGuard.h"
#include "ui/TrayIcon.h"
#include "ui/UrlLink.h"
#include "ui/WindowFixture.h"

namespace kest::testing {
namespace {

class StartUpTest : public WindowTest {
  protected:
    bool start(const QStringList& arguments) {
        guard = std::make_unique<InstanceGuard>(home.path() + "/kest-redirect/instances.lock");
        startUp = std::make_unique<StartUp>(*window, arguments, *guard);
        return startUp->Form_Load();
    }
    void TearDown() override {
        startUp.reset();
        WindowTest::TearDown();
        guard.reset();
    }
    std::unique_ptr<InstanceGuard> guard;
    std::unique_ptr<StartUp> startUp;
};

TEST_F(StartUpTest, FirstStartShowsHelpBeforeLoadingThenWritesEveryFile) {
    // The help opens before the load: the configuration directory is still empty then.
    window->openHelp = [this](int tag) {
        helpOpened.push_back(tag);
        EXPECT_FALSE(QFile::exists(configDir() + "/GENERAL.CFG"));
        EXPECT_TRUE(QFileInfo(configDir()).isDir());
        EXPECT_EQ(window->LST_HANDSHAKING->count(), 0);
    };
    ASSERT_TRUE(start({}));
    EXPECT_EQ(helpOpened, std::vector<int>{0});
    EXPECT_TRUE(window->AFF_INSTANCE->isHidden());
    EXPECT_EQ(window->AFF_INSTANCE->text(), "");
    EXPECT_EQ(window->windowTitle(), kDesignCaption);
    EXPECT_EQ(window->INP_COMMPORT->text(), "1");
    EXPECT_EQ(window->LST_HANDSHAKING->count(), 4);
    EXPECT_FALSE(window->FR_MAIN->isVisibleTo(window.get()));  // locked
    EXPECT_EQ(readConfig("TOUCHE_INP.CFG"), "");
    EXPECT_EQ(readConfig("TOUCHE_OUT.CFG"), "");
    EXPECT_EQ(readConfig("TOUCHE_REM.CFG"), "1\r\n");
    EXPECT_EQ(readConfig("GENERAL.CFG").count("\r\n"), 13);
    EXPECT_TRUE(window->URL_SUPPORT->url().startsWith(
        "mailto:support@kest-redirect.example.org?subject=Request Support :Kest Redirect"));
    EXPECT_TRUE(window->URL_SUPPORT->url().endsWith("&body=Your Question:    "));
    ASSERT_NE(window->tray, nullptr);
}

TEST_F(StartUpTest, NamedInstanceHasItsOwnDirectoryCaptionNoHelpWhenConfiguredAndKeepsItsRules) {
    writeConfig("TOUCHE_INP.CFG", "5\r\n", "_Scanner 1");
    writeConfig("TOUCHE_OUT.CFG", "5{ENTER}\r\n", "_Scanner 1");
    writeConfig("TOUCHE_REM.CFG", "abc\r\n13\r\n", "_Scanner 1");
    ASSERT_TRUE(start({"run", "/#", "Scanner", "1", "#", "more"}));
    EXPECT_TRUE(helpOpened.empty());
    EXPECT_EQ(window->AFF_INSTANCE->text(), "_Scanner 1");
    EXPECT_FALSE(window->AFF_INSTANCE->isHidden());
    EXPECT_EQ(window->windowTitle(), QString(kDesignCaption) + "_Scanner 1");
    EXPECT_TRUE(window->URL_SUPPORT->url().contains(QString(kDesignCaption) + "_Scanner 1&body"));
    // Loaded values survive the start-up's save; a port that is no number becomes "1".
    EXPECT_EQ(window->INP_COMMPORT->text(), "1");
    EXPECT_EQ(readConfig("TOUCHE_INP.CFG", "_Scanner 1"), "5\r\n");
    EXPECT_EQ(readConfig("TOUCHE_OUT.CFG", "_Scanner 1"), "5{ENTER}\r\n");
    EXPECT_EQ(readConfig("TOUCHE_REM.CFG", "_Scanner 1"), "1\r\n13\r\n");
    EXPECT_FALSE(QFileInfo::exists(configDir()));
}

}  // namespace
}  // namespace kest::testing
