#pragma once
// The test send: a click on B_TEST_SEND starts a ten-second countdown on the button
// while the user switches to the receiving application; at the eleventh tick the text
// of INP_OUTPUT goes to the pipeline as if it had been received.

#include <QByteArray>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace kest {

class TestSend : public QObject {
    Q_OBJECT

  public:
    static constexpr int kTickMs = 1000;
    static constexpr int kCountdownStart = 10;

    // processData receives the field's text as 8-bit (Windows-1252) bytes.
    TestSend(QPushButton* B_TEST_SEND, QLineEdit* INP_OUTPUT, QWidget* F_MAIN,
             std::function<void(const QByteArray&)> processData);

    bool counting() const { return TIM_TEST_SEND->isActive(); }
    // The countdown's tag: the remaining count as decimal text.
    QString tag() const;

    QTimer* TIM_TEST_SEND;

  public slots:
    void B_TEST_SEND_Click();
    void TIM_TEST_SEND_Timer();

  private:
    void setTag(const QString& tag);
    void finish();

    QPushButton* B_TEST_SEND_;
    QLineEdit* INP_OUTPUT_;
    QWidget* F_MAIN_;
    std::function<void(const QByteArray&)> processData_;
};

}  // namespace kest
