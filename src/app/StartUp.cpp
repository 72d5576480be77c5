#include "app/StartUp.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <exception>

#include "config/ConfigStore.h"
#include "config/InstanceName.h"
#include "engine/NumericValue.h"
#include "platform/InstanceGuard.h"
#include "ui/MainWindow.h"
#include "ui/Maker.h"
#include "ui/TaskbarTab.h"
#include "ui/TrayIcon.h"
#include "ui/UrlLink.h"
#include "ui/WindowWidgets.h"

namespace kest {

StartUp::StartUp(F_MAIN& window, QStringList arguments, InstanceGuard& guard)
    : w_(window), arguments_(std::move(arguments)), guard_(guard) {
    w_.installEventFilter(this);
}

QString StartUp::supportLink(const QString& caption) {
    return QStringLiteral("mailto:") + kMakerSupportAddress +
           QStringLiteral("?subject=Request Support :") + caption +
           QStringLiteral("&body=Your Question:    ");
}

bool StartUp::Form_Load() {
    if (!applyInstanceName()) return false;
    step("support link", [this] { w_.URL_SUPPORT->setUrl(supportLink(w_.windowTitle())); });
    step("window state", [this] { w_.setWindowState(Qt::WindowNoState); });
    step("configuration directory", [this] { createConfigDirectory(); });
    step("first-start help", [this] {
        const QString dir = QString::fromStdString(w_.configStore().directory().string());
        if (!QFileInfo::exists(dir + "/" + kReplaceFile)) w_.B_HLP_Click(0);
    });
    step("handshaking items", [this] { w_.Frame3->fillHandshakingItems(); });
    step("LOAD_CFG", [this] { w_.LOAD_CFG(); });
    step("port 1", [this] {
        if (numericValue(toCp1252(w_.INP_COMMPORT->text())) == 0) w_.INP_COMMPORT->setText("1");
    });
    step("lock", [this] { w_.INP_PASS_Change(); });
    step("tray icon", [this] {
        w_.tray = std::make_unique<TrayIcon>(&w_, TrayIcon::tipText(w_.AFF_INSTANCE->text()),
                                             TrayIcon::programIcon());
        w_.tray->add();
    });
    step("task list", [this] {
        if (w_.tray) w_.tray->setTaskListVisible(true);
        new TaskbarTab(&w_, TaskbarTab::systemTaskbar());
    });
    w_.endProgram = [this] {
        releaseAll();
        QCoreApplication::exit(0);
    };
    return true;
}

bool StartUp::applyInstanceName() {
    const auto suffix = instanceSuffix(toCp1252(arguments_.join(' ')));
    if (suffix) {
        w_.AFF_INSTANCE->setText(fromCp1252(*suffix));
        w_.AFF_INSTANCE->show();
        w_.setWindowTitle(w_.windowTitle() + w_.AFF_INSTANCE->text());
        guard_.enter(false);
        return true;
    }
    w_.AFF_INSTANCE->hide();
    w_.AFF_INSTANCE->setText(QString());
    return guard_.enter(true);
}

void StartUp::createConfigDirectory() {
    // One level, as the platform's make-directory does; an existing one is fine.
    const QString dir = QString::fromStdString(w_.configStore().directory().string());
    if (!QFileInfo(dir).isDir() && !QDir().mkdir(dir))
        qWarning() << "cannot create the configuration directory" << dir;
}

void StartUp::Form_Unload() {
    releaseAll();
    QCoreApplication::quit();
}

void StartUp::releaseAll() {
    if (released_) return;
    released_ = true;
    step("close sockets", [this] { w_.tcpChannel->close(); });
    step("close port", [this] { w_.COMM->close(); });
    step("remove icon", [this] {
        if (w_.tray) w_.tray->remove();
    });
}

bool StartUp::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &w_ && event->type() == QEvent::Close) Form_Unload();
    return QObject::eventFilter(watched, event);
}

void StartUp::step(const char* name, const std::function<void()>& statement) {
    // A failing step is passed over and the sequence goes on, as the start-up has no
    // message to show; the developer still learns which step failed.
    try {
        statement();
    } catch (const std::exception& e) {
        qWarning() << "start-up step" << name << "failed:" << e.what();
    } catch (...) {
        qWarning() << "start-up step" << name << "failed";
    }
}

}  // namespace kest
