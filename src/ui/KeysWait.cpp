#include "ui/KeysWait.h"

#include <QDebug>
#include <algorithm>
#include <exception>

#include "engine/Pipeline.h"
#include "ui/WindowWidgets.h"

namespace kest {

KeysWait::KeysWait(PipelineRunner& runner, const Pipeline& pipeline,
                   std::function<void(const QString&)> addDebugLine, QObject* parent)
    : QObject(parent),
      runner_(runner),
      pipeline_(pipeline),
      addDebugLine_(std::move(addDebugLine)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &KeysWait::retry);
    runner_.onWaitingForKeys([this](const std::string& reason) { onWaiting(reason); });
}

void KeysWait::retry() {
    if (!runner_.waitingForKeys()) return;
    try {
        runner_.retry();
    } catch (const std::exception& e) {
        qWarning() << "typing a waiting text failed:" << e.what();
    } catch (...) {
        qWarning() << "typing a waiting text failed";
    }
    if (!runner_.waitingForKeys()) return;
    // A screen stays locked for minutes or hours: asked less and less often, but
    // never so rarely that the texts are late by more than a moment once it is not.
    delayMs_ = std::min(delayMs_ * 2, kLongestRetryMs);
    timer_.start(delayMs_);
}

void KeysWait::onWaiting(const std::string& reason) {
    const QString why = QString::fromStdString(reason);
    if (why == reason_) return;
    const bool began = reason_.isEmpty();
    reason_ = why;
    if (why.isEmpty()) {
        timer_.stop();
        qWarning().noquote() << "Kest_Redirect_Serial_to_KB: keys are accepted again after"
                             << since_.elapsed() / 1000 << "s; the waiting texts are typed";
    } else {
        // Each wait has its line, however often it comes back: the user sees when the
        // texts stopped and why.
        addDebugLine_(
            QStringLiteral("WAITING (%1): %2").arg(why, fromCp1252(pipeline_.suspendedText())));
        qWarning().noquote() << "Kest_Redirect_Serial_to_KB: received texts wait:" << why;
        if (began) {
            since_.start();
            delayMs_ = kFirstRetryMs;
            timer_.start(delayMs_);
        }
    }
    emit changed(reason_);
}

}  // namespace kest
