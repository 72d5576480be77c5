#pragma once
// A serial device that records what COMM asks of it and answers as the test says:
// bytes arrive when the test says, opens fail or run in the background on request.

#include <QList>
#include <utility>

#include "channels/SerialDevice.h"

namespace kest::test {

class FakeSerialDevice : public SerialDevice {
  public:
    struct Open {
        QString name;
        SerialSettings settings;
        SerialControl control;
    };

    QString open(const QString& name, const SerialSettings& settings,
                 const SerialControl& control) override {
        opens << Open{name, settings, control};
        opening_ = inBackground;
        if (!opening_ && openFailure.isEmpty()) open_ = true;
        return opening_ ? QString() : openFailure;
    }
    bool opening() const override { return opening_; }
    // Ends an open in the background.
    void finish(const QString& failure) {
        opening_ = false;
        open_ = failure.isEmpty();
        emit openFinished(failure);
    }
    void close() override { open_ = opening_ = false; }
    bool isOpen() const override { return open_; }
    QString name() const override { return opens.isEmpty() ? QString() : opens.last().name; }
    QString applySettings(const SerialSettings& settings) override {
        applied << settings;
        return refusal;
    }
    QString applyControl(const SerialControl& control) override {
        controls << control;
        return refusal;
    }
    QByteArray readAll() override { return std::exchange(waiting, {}); }
    qint64 bytesAvailable() const override { return waiting.size(); }
    QString write(const QByteArray& data) override {
        written += data;
        return writeFailure;
    }
    bool present(const QString&) const override {
        ++presentAsked;
        return isPresent;
    }

    void arrive(const QByteArray& data) {
        waiting += data;
        emit dataArrived();
    }
    void lose(const QString& why) {
        open_ = false;
        emit deviceLost(why);
    }

    QList<Open> opens;
    QList<SerialSettings> applied;
    QList<SerialControl> controls;
    QString openFailure, refusal, writeFailure;
    QByteArray waiting, written;
    bool inBackground = false;
    bool isPresent = true;
    mutable int presentAsked = 0;

  private:
    bool open_ = false;
    bool opening_ = false;
};

}  // namespace kest::test
