#pragma once
// A main window on the offscreen platform, with a recording keyboard, its own
// configuration home and the help window replaced by a recorder; it brings the
// widgets and colours that the window tests look at.

#include <pty.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "keyboard/RecordingKeyboardDevice.h"
#include "keyboard/WindowActivator.h"
#include "ui/Colours.h"
#include "ui/MainWindow.h"
#include "ui/OffscreenApp.h"
#include "ui/TroubleState.h"
#include "ui/WindowWidgets.h"

namespace kest::testing {

using test::itemsOf;

class RecordingActivator : public WindowActivator {
  public:
    bool activate(const std::string& title) override {
        titles.push_back(title);
        return true;
    }
    std::vector<std::string> titles;
};

// Lets events run until the condition holds or the deadline passes.
inline bool waitFor(const std::function<bool()>& condition, int deadlineMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > deadlineMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class WindowTest : public ::testing::Test {
  protected:
    struct Pty {
        int master = -1, slave = -1;
        QString device;
    };

    void SetUp() override {
        test::offscreenApp();
        ASSERT_TRUE(home.isValid());
        window = std::make_unique<F_MAIN>(keyboard, activator);
        window->openHelp = [this](int tag) { helpOpened.push_back(tag); };
        window->endProgram = [this] { ++endRequests; };
        // As the start-up of an unnamed copy leaves it.
        window->AFF_INSTANCE->setText(QString());
    }
    void TearDown() override {
        window.reset();  // the port closes before its terminal goes away
        for (const Pty& pty : ptys) {
            ::close(pty.slave);
            ::close(pty.master);
        }
    }

    // B/drive_c/TALVEN.CFG<suffix>
    QString configDir(const QString& suffix = QString()) const {
        return home.path() + "/kest-redirect/drive_c/TALVEN.CFG" + suffix;
    }
    void writeConfig(const QString& name, const QByteArray& bytes, const QString& suffix = {}) {
        QDir().mkpath(configDir(suffix));
        QFile file(configDir(suffix) + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readConfig(const QString& name, const QString& suffix = {}) const {
        QFile file(configDir(suffix) + "/" + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // A COM port whose link points at the given device.
    void linkCom(int number, const QString& device) {
        const QString dir = home.path() + "/kest-redirect/dosdevices";
        QDir().mkpath(dir);
        QFile::link(device, dir + "/com" + QString::number(number));
    }
    // A pseudo-terminal standing for a serial device; it lives until the window is gone.
    Pty openPty() {
        Pty pty;
        char name[256] = {};
        EXPECT_EQ(openpty(&pty.master, &pty.slave, name, nullptr, nullptr), 0);
        pty.device = QString::fromLocal8Bit(name);
        ptys.push_back(pty);
        return pty;
    }
    QString lastDebugLine() const {
        const int rows = window->LST_DEBUG->count();
        return rows ? window->LST_DEBUG->item(rows - 1)->text() : QString();
    }
    bool listed(const QString& line, Qt::MatchFlags how = Qt::MatchExactly) const {
        return !window->LST_DEBUG->findItems(line, how).isEmpty();
    }

    test::ConfigHome home;
    RecordingKeyboardDevice keyboard;
    RecordingActivator activator;
    std::unique_ptr<F_MAIN> window;
    std::vector<int> helpOpened;
    int endRequests = 0;
    std::vector<Pty> ptys;
};

}  // namespace kest::testing
