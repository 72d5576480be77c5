#include "app/StartUp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <exception>

#include "app/RunningInstance.h"
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

StartUp::~StartUp() = default;

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
        w_.tray->followTrouble(w_.trouble());
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
    } else {
        w_.AFF_INSTANCE->hide();
        w_.AFF_INSTANCE->setText(QString());
    }
    return enterInstance(!suffix);
}

bool StartUp::enterInstance(bool unnamed) {
    const QString dir = QString::fromStdU16String(w_.configStore().directory().u16string());
    instance_ = std::make_unique<RunningInstance>(dir);
    instance_->showRequested = [this] { bringToFront(); };
    // An unnamed copy first asks whether any other copy runs.
    const bool alone = guard_.enter(unnamed);
    const QString who =
        w_.AFF_INSTANCE->text().isEmpty()
            ? QStringLiteral("without an instance name")
            : QStringLiteral("as instance \"%1\"").arg(w_.AFF_INSTANCE->text().mid(1));
    if (!instance_->claim()) {
        // Two copies of one instance would save over each other's configuration.
        const bool shown = instance_->askToShow(std::chrono::seconds(5));
        return refuse(QStringLiteral("Kest Redirect is already running %1; %2. A second copy "
                                     "of an instance does not start.")
                          .arg(who, shown ? QStringLiteral("its window was brought to the front")
                                          : QStringLiteral("its window did not answer")));
    }
    if (!alone) {
        instance_.reset();
        return refuse(QStringLiteral(
            "Kest Redirect is already running. A copy without an instance name does not start "
            "beside another copy: start each further copy with a name of its own, for example "
            "Kest_Redirect_Serial_to_KB /#Scanner_002#"));
    }
    return true;
}

std::unique_ptr<RunningInstance> StartUp::takeRunningInstance() {
    return std::move(instance_);
}

bool StartUp::refuse(const QString& why) {
    refusal_ = why;
    qWarning().noquote() << "Kest_Redirect_Serial_to_KB:" << why;
    return false;
}

void StartUp::bringToFront() {
    // The first start's help window holds the start-up: it answers for the program.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
        return;
    }
    if (!w_.isVisible() && w_.tray) {
        w_.tray->ToggleWindow();  // shown as a click on the icon shows it
    } else {
        w_.show();
    }
    w_.setWindowState(w_.windowState() & ~Qt::WindowMinimized);
    w_.raise();
    w_.activateWindow();
}

void StartUp::createConfigDirectory() {
    // One level, as the platform's make-directory does; an existing one is fine.
    const QString dir = QString::fromStdString(w_.configStore().directory().string());
    if (!QFileInfo(dir).isDir() && !QDir().mkdir(dir))
        qWarning() << "cannot create the configuration directory" << dir;
}

void StartUp::Form_Unload() {
    // Closing keeps what was edited, as locking does: a rule added in the unlocked panel
    // would otherwise go with the window, and a logout closes every window.
    if (!released_) step("save", [this] { w_.B_SAVE_Click(); });
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
