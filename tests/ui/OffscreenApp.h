#pragma once
// Widget tests run on Qt's offscreen platform, each with its own configuration home
// (test::ConfigHome).

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <ostream>

#include "support/ConfigHome.h"

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace kest::test {

inline QApplication* offscreenApp() {
    static int argc = 1;
    static char name[] = "kest_ui_tests";
    static char* argv[] = {name, nullptr};
    if (!qApp) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    }
    return qobject_cast<QApplication*>(qApp);
}

inline QStringList itemsOf(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    return texts;
}

// Runs `inspect` on the next modal window that opens, then closes it. A window that
// never opens within the deadline is a test failure, never a hang.
inline void whenModalOpens(std::function<void(QWidget*)> inspect, int deadlineMs = 5000) {
    auto* poll = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(poll, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && clock->elapsed() < deadlineMs) return;
        poll->stop();
        poll->deleteLater();
        if (!modal) {
            ADD_FAILURE() << "no modal window opened";
            return;
        }
        QPointer<QWidget> window(modal);
        inspect(modal);
        if (!window || !window->isVisible()) return;  // the inspection closed it
        if (auto* dialog = qobject_cast<QDialog*>(window.data()))
            dialog->done(QDialog::Rejected);
        else
            window->close();
    });
    poll->start(5);
}

}  // namespace kest::test
