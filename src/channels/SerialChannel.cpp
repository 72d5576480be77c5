#include "channels/SerialChannel.h"

#include <QDebug>
#include <QRegularExpression>

#include "engine/NumericValue.h"

namespace kest {

namespace {

struct HandshakingName {
    const char* name;
    int value;
};

constexpr HandshakingName kHandshakingNames[] = {
    {"None", SerialPortComponent::kHandshakeNone},
    {"XonXoff", SerialPortComponent::kHandshakeXonXoff},
    {"Rts", SerialPortComponent::kHandshakeRts},
    {"RtsXonXoff", SerialPortComponent::kHandshakeRtsXonXoff},
};

}  // namespace

SerialChannel::SerialChannel(QObject* parent) : SerialChannel(makeSerialDevice(), parent) {}

SerialChannel::SerialChannel(std::unique_ptr<SerialDevice> device, QObject* parent)
    : QObject(parent), comm_(std::move(device)) {
    settleTimer_.setSingleShot(true);
    settleTimer_.setTimerType(Qt::PreciseTimer);
    settleTimer_.setInterval(kBurstSettleMs);
    connect(&settleTimer_, &QTimer::timeout, this, &SerialChannel::finishBurst);
    reconnectTimer_.setInterval(kReconnectCheckMs);
    connect(&reconnectTimer_, &QTimer::timeout, this, &SerialChannel::retryAfterLoss);
    connect(&comm_, &SerialPortComponent::readyRead, this, [this] {
        if (!inBurst_) startBurst();
    });
    connect(&comm_, &SerialPortComponent::deviceLost, this, &SerialChannel::onDeviceLost);
    connect(&comm_, &SerialPortComponent::openFinished, this, [this](const QString& failure) {
        if (failure.isEmpty()) {
            opened();
        } else {
            openFailed(failure);
        }
    });
}

void SerialChannel::setPortText(const QString& text) {
    portText_ = text;
    reopen();
}

void SerialChannel::setSettingsText(const QString& text) {
    settingsText_ = text;
    reopen();
}

QString SerialChannel::setHandshakingName(const QString& name) {
    int value = SerialPortComponent::kHandshakeNone;
    QString shown = QStringLiteral("None");
    for (const HandshakingName& entry : kHandshakingNames) {
        if (name == QLatin1String(entry.name)) {
            value = entry.value;
            shown = name;
        }
    }
    try {
        comm_.setHandshaking(value);
    } catch (const ComponentError& e) {
        qDebug() << "Serial: handshaking" << value << "ignored:" << e.what();
    }
    if (shown != name) emit handshakingNameCorrected(shown);
    return shown;
}

void SerialChannel::setDtr(bool checked) {
    comm_.setDTREnable(checked);
}

void SerialChannel::setRts(bool checked) {
    comm_.setRTSEnable(checked);
}

void SerialChannel::reopen() {
    // A burst of the port being closed is handed over as it stands: data is not lost
    // because the user retypes a setting.
    if (inBurst_) finishBurst();
    reconnectTimer_.stop();
    comm_.setPortOpen(false);
    try {
        comm_.setSettings(settingsText_.trimmed());
    } catch (const std::exception& e) {
        // No device helps against settings that are wrong: nothing to look for.
        return failOpen(QString::fromStdString(e.what()), true);
    }
    try {
        comm_.setCommPort(wholeValue16(portText_.toStdString()));
        comm_.setPortOpen(true);
    } catch (const std::exception& e) {
        openFailed(QString::fromLocal8Bit(e.what()));
        return;
    }
    if (!comm_.opening()) return opened();
    // A port that opens in the background is neither open nor failed until it says:
    // nothing is sent to it meanwhile, and its field shows no colour.
    open_ = false;
    failure_.clear();
    role_ = StatusRole::Ordinary;
    emit portStateChanged(false, role_);
}

void SerialChannel::opened() {
    lastOpenFailure_.clear();
    failure_.clear();
    settingsRejected_ = false;
    setOpen(true);
    // Data that was already waiting in the device is a burst of its own.
    if (comm_.bytesWaiting() > 0) startBurst();
}

std::optional<QString> SerialChannel::portHint(const QString& portText) {
    // The name that Windows shows is the first thing a user types.
    static const QRegularExpression comName(QStringLiteral("^\\s*COM\\s*(\\d+)\\s*:?\\s*$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(portText);
    if (!match.hasMatch()) return std::nullopt;
    return QStringLiteral("type only the number: %1, not %2")
        .arg(match.captured(1), portText.trimmed());
}

void SerialChannel::failOpen(const QString& why, bool settings) {
    // Retried every kReconnectCheckMs: said once per distinct failure.
    const QString said =
        portText_ + QStringLiteral(" with ") + settingsText_ + QStringLiteral(": ") + why;
    if (said != lastOpenFailure_) qDebug() << "Serial: port not opened:" << said;
    lastOpenFailure_ = said;
    failure_ = why;
    settingsRejected_ = settings;
    setOpen(false);
}

void SerialChannel::openFailed(const QString& reason) {
    failOpen(portHint(portText_).value_or(reason), false);
    // A scanner plugged in after the start, or after the user typed its number, is
    // opened as soon as its device appears, as a vanished one is.
    reconnectTimer_.start();
}

void SerialChannel::close() {
    if (inBurst_) finishBurst();
    reconnectTimer_.stop();
    comm_.setPortOpen(false);
    open_ = false;
}

void SerialChannel::write(const QByteArray& data) {
    if (!open_) throw ComponentError("Serial port is not open");
    comm_.setOutput(data);
}

void SerialChannel::setOpen(bool open) {
    open_ = open;
    role_ = open ? StatusRole::Success : StatusRole::Failure;
    emit portStateChanged(open_, role_);
}

void SerialChannel::startBurst() {
    try {
        burst_ = comm_.input();
    } catch (const ComponentError& e) {
        qDebug() << "Serial: read failed:" << e.what();
        burst_.clear();
    }
    if (burst_.isEmpty()) return;
    inBurst_ = true;
    settleTimer_.start();
}

void SerialChannel::finishBurst() {
    settleTimer_.stop();
    if (!inBurst_) return;
    try {
        if (comm_.portOpen()) burst_ += comm_.input();
    } catch (const ComponentError& e) {
        qDebug() << "Serial: second read failed, burst kept as it was:" << e.what();
    }
    // The state is reset before the text leaves: the receiver may run the event loop,
    // and data arriving meanwhile starts the next burst.
    QByteArray text;
    text.swap(burst_);
    inBurst_ = false;
    emit textReceived(text);
    if (!inBurst_ && comm_.bytesWaiting() > 0) startBurst();
}

void SerialChannel::onDeviceLost(const QString& description) {
    qDebug() << "Serial: port" << portText_ << "lost its device (" << description
             << "); checking every" << kReconnectCheckMs << "ms for its return";
    if (inBurst_) finishBurst();
    failure_ = QStringLiteral("the device went away (%1)").arg(description);
    setOpen(false);
    reconnectTimer_.start();
}

void SerialChannel::retryAfterLoss() {
    // Only a device that is back is worth a reopen; this keeps a long absence quiet.
    int number = 0;
    try {
        number = wholeValue16(portText_.toStdString());
    } catch (const NumericRangeError&) {
        return;
    }
    if (!comm_.devicePresent(number)) return;
    reopen();  // a failure starts the check again
}

}  // namespace kest
