#pragma once
// The serial channel: keeps COMM configured from the window's five serial controls
// and hands every received burst over as one text. A burst is what had arrived when
// its first byte was noticed plus what arrives within the following 0.1 s. The port's
// own data notification starts a burst, so an idle port costs no CPU. A port that
// cannot be opened is looked for again every kReconnectCheckMs with the same settings.
//
// The setters are the controls' change handlers: the window calls them whenever the
// control's value changes, also when a value is set from code.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

#include "channels/ChannelTypes.h"
#include "channels/SerialPortComponent.h"

namespace kest {

class SerialChannel : public QObject {
    Q_OBJECT
  public:
    static constexpr int kBurstSettleMs = 100;
    static constexpr int kReconnectCheckMs = 2000;

    explicit SerialChannel(QObject* parent = nullptr);
    // On a device of the caller's choice (tests).
    explicit SerialChannel(std::unique_ptr<SerialDevice> device, QObject* parent = nullptr);

    void setPortText(const QString& text);      // INP_COMMPORT_Change: reopen
    void setSettingsText(const QString& text);  // INP_COM_CFG_Change: reopen
    // LST_HANDSHAKING_Click. Returns the name the list must show: the name itself, or
    // "None" when it is not one of the four (handshakingNameCorrected then says so).
    QString setHandshakingName(const QString& name);
    void setDtr(bool checked);  // SW_DTR_Click
    void setRts(bool checked);  // SW_RTS_Click

    // Runs the reopen with the settings as they stand (INP_COMMPORT_Change).
    void reopen();
    // Program end: the port is closed and nothing more is received.
    void close();

    bool isOpen() const { return open_; }
    StatusRole portRole() const { return role_; }
    // Why the port is not open, in plain words; empty while it is.
    QString failureReason() const { return failure_; }
    // Whether the settings text is what keeps the port closed (failureReason names
    // the part that is wrong).
    bool settingsRejected() const { return settingsRejected_; }
    // What to tell a user whose port text is not a number that the program reads as
    // they meant it ("COM3"); nothing for other texts.
    static std::optional<QString> portHint(const QString& portText);
    // COMM.Output; throws ComponentError when the port is not open.
    void write(const QByteArray& data);

    SerialPortComponent& component() { return comm_; }

  signals:
    void portStateChanged(bool open, kest::StatusRole role);
    void handshakingNameCorrected(const QString& name);
    void textReceived(const QByteArray& text);

  private:
    void opened();
    void openFailed(const QString& reason);
    void setOpen(bool open);
    void failOpen(const QString& why, bool settings);
    void startBurst();
    void finishBurst();
    void onDeviceLost(const QString& description);
    void retryAfterLoss();

    SerialPortComponent comm_;
    QString portText_;
    QString settingsText_ = QStringLiteral("9600,N,8,1");
    QTimer settleTimer_;
    QTimer reconnectTimer_;
    QByteArray burst_;
    QString failure_;
    bool open_ = false;
    bool settingsRejected_ = false;
    bool inBurst_ = false;
    QString lastOpenFailure_;
    StatusRole role_ = StatusRole::Ordinary;
};

}  // namespace kest
