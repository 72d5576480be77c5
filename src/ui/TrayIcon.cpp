#include "ui/TrayIcon.h"

#include <QDebug>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <exception>
#include <vector>

#include "ui/Maker.h"
#include "ui/TroubleState.h"

// Xlib last: its macros (None, Bool, Status, ...) must not meet Qt's headers.
#if QT_CONFIG(xcb)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

namespace kest {

namespace {

#if QT_CONFIG(xcb)
// The taskbar entry of an X11 window is the EWMH state _NET_WM_STATE_SKIP_TASKBAR.
// A withdrawn (hidden) window carries its state as a property that the window manager
// reads when the window is mapped; a mapped one is changed by asking the window manager.
void setSkipTaskbar(Display* display, Window window, bool mapped, bool skip) {
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom skipTaskbar = XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False);
    if (mapped) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = state;
        event.xclient.format = 32;
        event.xclient.data.l[0] = skip ? 1 : 0;  // _NET_WM_STATE_ADD / _REMOVE
        event.xclient.data.l[1] = static_cast<long>(skipTaskbar);
        event.xclient.data.l[3] = 1;  // from an ordinary application
        XSendEvent(display, DefaultRootWindow(display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        std::vector<Atom> atoms;
        if (XGetWindowProperty(display, window, state, 0, 1024, False, XA_ATOM, &type, &format,
                               &count, &remaining, &data) == Success &&
            data && format == 32) {
            const Atom* current = reinterpret_cast<const Atom*>(data);
            for (unsigned long i = 0; i < count; ++i)
                if (current[i] != skipTaskbar) atoms.push_back(current[i]);
        }
        if (data) XFree(data);
        if (skip) atoms.push_back(skipTaskbar);
        XChangeProperty(display, window, state, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(atoms.data()),
                        static_cast<int>(atoms.size()));
    }
    XFlush(display);
}
#endif

void applyTaskListEntry(QWidget* window, bool visible) {
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display()) return;  // another platform: nothing to mark
    setSkipTaskbar(x11->display(), static_cast<Window>(window->winId()), window->isVisible(),
                   !visible);
#else
    Q_UNUSED(window);
    Q_UNUSED(visible);
#endif
}

}  // namespace

TrayIcon::TrayIcon(QWidget* mainWindow, const QString& tipText, const QIcon& icon)
    : QObject(mainWindow),
      TIM_REFRESH_TRAYICON(new QTimer(this)),
      mainWindow_(mainWindow),
      icon_(new QSystemTrayIcon(icon, this)),
      tip_(tipText.left(kMaxTipLength)),
      normalIcon_(icon) {
    if (tip_.size() == kMaxTipLength && tip_.back().isHighSurrogate()) tip_.chop(1);
    areaAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
    icon_->setToolTip(tip_);
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                try {
                    handleMouseMessage(messageFor(reason));
                } catch (const std::exception& e) {
                    qWarning() << "TrayIcon: icon click failed:" << e.what();
                }
            });
    TIM_REFRESH_TRAYICON->setObjectName(QStringLiteral("TIM_REFRESH_TRAYICON"));
    TIM_REFRESH_TRAYICON->setInterval(kRefreshIntervalMs);
    connect(TIM_REFRESH_TRAYICON, &QTimer::timeout, this, &TrayIcon::add);
    TIM_REFRESH_TRAYICON->start();
}

QString TrayIcon::tipText(const QString& instanceCaption) {
    // Instances differ by their names, so a tip that does not fit loses its front, never
    // the end of the name.
    QString tip =
        QStringLiteral("Kest Serial Keyboard") + QString::fromUtf8(kMakerTipText) + instanceCaption;
    if (tip.size() <= kMaxTipLength) return tip;
    tip = tip.right(kMaxTipLength);
    if (tip.front().isLowSurrogate()) tip.remove(0, 1);
    return tip;
}

QIcon TrayIcon::programIcon() {
    return QIcon(QStringLiteral(":/kest/images/kest-redirect.png"));
}

QIcon TrayIcon::warningIcon() {
    const QIcon base = programIcon();
    QIcon warning;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap = base.pixmap(size, size);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        // A yellow triangle with a black "!" over the lower right quarter and more,
        // large enough to be told apart at 16 pixels.
        const qreal side = size * 0.62;
        const QRectF box(size - side, size - side, side, side);
        QPainterPath triangle;
        triangle.moveTo(box.center().x(), box.top());
        triangle.lineTo(box.bottomRight());
        triangle.lineTo(box.bottomLeft());
        triangle.closeSubpath();
        painter.setPen(QPen(Qt::black, std::max(1.0, size / 24.0)));
        painter.setBrush(QColor(255, 200, 0));
        painter.drawPath(triangle);
        const qreal stroke = std::max(1.5, side / 7);
        painter.setPen(QPen(Qt::black, stroke, Qt::SolidLine, Qt::FlatCap));
        const qreal x = box.center().x();
        painter.drawLine(QPointF(x, box.top() + side * 0.32), QPointF(x, box.top() + side * 0.66));
        painter.drawLine(QPointF(x, box.top() + side * 0.74), QPointF(x, box.top() + side * 0.86));
        painter.end();
        warning.addPixmap(pixmap);
    }
    return warning;
}

void TrayIcon::followTrouble(const TroubleState& trouble) {
    connect(&trouble, &TroubleState::changed, this, [this, &trouble] { showTrouble(trouble); });
    connect(&trouble, &TroubleState::began, this, [this](Trouble kind, const QString& reason) {
        icon_->showMessage(tip_, TroubleState::words(kind) + QStringLiteral(": ") + reason,
                           QSystemTrayIcon::Warning, kBalloonMs);
    });
    showTrouble(trouble);
}

void TrayIcon::showTrouble(const TroubleState& trouble) {
    if (!trouble.any()) {
        icon_->setIcon(normalIcon_);
        icon_->setToolTip(tip_);
        return;
    }
    if (warningIcon_.isNull()) warningIcon_ = warningIcon();
    icon_->setIcon(warningIcon_);
    icon_->setToolTip(tip_ + QLatin1Char('\n') + trouble.summary());
}

int TrayIcon::messageFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            return kLeftButtonDown;
        case QSystemTrayIcon::DoubleClick:
            return kLeftDoubleClick;
        case QSystemTrayIcon::Context:
            return kRightButtonDown;
        case QSystemTrayIcon::MiddleClick:
            return kMiddleButtonDown;
        default:
            return kMouseMove;
    }
}

void TrayIcon::add() {
    const bool available = areaAvailable();
    if (!icon_->isVisible()) {
        icon_->show();
    } else if (available && !trayWasAvailable_) {
        // A notification area appeared since the last add: dock into it afresh.
        icon_->hide();
        icon_->show();
    }
    if (!available && trayWasAvailable_ && !mainWindow_->isVisible()) {
        // The area went away with the icon that would bring the window back: the
        // window waits in the task list instead.
        qWarning() << "TrayIcon: the notification area is gone; the window goes to the task list";
        minimiseToTaskList();
    }
    trayWasAvailable_ = available;
}

void TrayIcon::minimiseToTaskList() {
    setTaskListVisible(true);
    mainWindow_->setWindowState(mainWindow_->windowState() | Qt::WindowMinimized);
    mainWindow_->show();
}

void TrayIcon::remove() {
    TIM_REFRESH_TRAYICON->stop();
    icon_->hide();
}

void TrayIcon::handleMouseMessage(int message) {
    if (handlingMessage_) return;
    handlingMessage_ = true;
    // Cleared on every way out, or one failure would deafen the icon for good.
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{handlingMessage_};
    if (message == kLeftButtonDown || message == kLeftDoubleClick) ToggleWindow();
}

void TrayIcon::ToggleWindow() {
    if (mainWindow_->isVisible()) {
        HideToTray();
        setTaskListVisible(true);
        return;
    }
    // The taskbar entry goes before the window is mapped: the window manager reads it
    // then, and a window shown without an entry must not flash one first.
    setTaskListVisible(false);
    // Passing through minimised also clears an iconic start state that a window the
    // window manager once restored from the task list keeps in its hints; it would be
    // mapped as an icon again, out of sight.
    mainWindow_->setWindowState(mainWindow_->windowState() | Qt::WindowMinimized);
    mainWindow_->setWindowState(mainWindow_->windowState() & ~Qt::WindowMinimized);
    mainWindow_->show();
    mainWindow_->raise();
    mainWindow_->activateWindow();
}

void TrayIcon::HideToTray() {
    mainWindow_->hide();
    mainWindow_->setWindowState(mainWindow_->windowState() | Qt::WindowMinimized);
}

void TrayIcon::setTaskListVisible(bool visible) {
    taskListVisible_ = visible;
    applyTaskListEntry(mainWindow_, visible);
}

}  // namespace kest
