#pragma once
// A main window on the offscreen platform, with a recording keyboard, its own
// configuration home and the help window replaced by a recorder.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <functional>
#include <memory>

#include "keyboard/RecordingKeyboardDevice.h"
#include "keyboard/WindowActivator.h"
#include "support/ConfigHome.h"
#include "ui/MainWindow.h"
#include "ui/OffscreenApp.h"

namespace kest::testing {

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
    void SetUp() override {
        test::offscreenApp();
        ASSERT_TRUE(home.isValid());
        window = std::make_unique<F_MAIN>(keyboard, activator);
        window->openHelp = [this](int tag) { helpOpened.push_back(tag); };
        window->endProgram = [this] { ++endRequests; };
        // As the start-up of an unnamed copy leaves it.
        window->AFF_INSTANCE->setText(QString());
    }
    void TearDown() override { window.reset(); }

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

    test::ConfigHome home;
    RecordingKeyboardDevice keyboard;
    RecordingActivator activator;
    std::unique_ptr<F_MAIN> window;
    std::vector<int> helpOpened;
    int endRequests = 0;
};

}  // namespace kest::testing
