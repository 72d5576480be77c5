#include "ui/TroubleState.h"

#include <QDebug>
#include <QStringList>

namespace kest {

TroubleState::TroubleState(QObject* parent) : QObject(parent) {}

QString TroubleState::words(Trouble kind) {
    switch (kind) {
        case Trouble::SerialPort:
            return QStringLiteral("port red");
        case Trouble::Tcp:
            return QStringLiteral("TCP failing");
        case Trouble::File:
            return QStringLiteral("file error");
        case Trouble::Save:
            return QStringLiteral("save failed");
        case Trouble::NotTyped:
            return QStringLiteral("texts not typed");
        case Trouble::KeysWaiting:
            return QStringLiteral("texts waiting");
    }
    return QStringLiteral("trouble");
}

void TroubleState::set(Trouble kind, const QString& reason) {
    // Retries repeat the same failure every few seconds, for days maybe: the log hears
    // of each distinct one once.
    const QString line = words(kind) + QStringLiteral(": ") + reason;
    if (logged_.first(line)) qWarning().noquote() << line;
    const auto found = current_.find(kind);
    const bool isNew = found == current_.end();
    if (!isNew && found->second == reason) return;
    current_[kind] = reason;
    emit changed();
    if (isNew) emit began(kind, reason);
}

void TroubleState::clear(Trouble kind) {
    if (current_.erase(kind) == 0) return;
    qInfo().noquote() << words(kind) << "no more";
    emit changed();
}

QString TroubleState::reason(Trouble kind) const {
    const auto found = current_.find(kind);
    return found == current_.end() ? QString() : found->second;
}

QString TroubleState::summary() const {
    QStringList parts;
    for (const auto& [kind, reason] : current_) {
        // Why texts wait is what the user can act on ("the window in front runs as
        // administrator"), and it is short.
        parts << (kind == Trouble::KeysWaiting ? words(kind) + QStringLiteral(": ") + reason
                                               : words(kind));
    }
    return parts.join(QStringLiteral(", "));
}

}  // namespace kest
