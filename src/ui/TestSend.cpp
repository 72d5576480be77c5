#include "ui/TestSend.h"

#include <QDebug>
#include <QPalette>
#include <exception>
#include <string>

#include "engine/NumericValue.h"
#include "keyboard/Cp1252.h"
#include "ui/Colours.h"

namespace kest {

namespace {

const char* const kTagProperty = "Tag";

// The window reads a control's colour back from "backColour", so it is kept there too.
void setBackColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
    widget->setProperty("backColour", colour);
}

// The window refuses input during the countdown by being disabled, and a disabled
// control is drawn greyed: grey on pink cannot be read. The two controls the countdown
// is shown in keep their ordinary colours while disabled.
void drawAsEnabledWhenDisabled(QWidget* widget) {
    QPalette palette = widget->palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = static_cast<QPalette::ColorRole>(role);
        palette.setBrush(QPalette::Disabled, r, palette.brush(QPalette::Active, r));
    }
    widget->setPalette(palette);
}

}  // namespace

TestSend::TestSend(QPushButton* B_TEST_SEND, QLineEdit* INP_OUTPUT, QWidget* F_MAIN,
                   std::function<void(const QByteArray&)> processData)
    : QObject(F_MAIN),
      TIM_TEST_SEND(new QTimer(this)),
      B_TEST_SEND_(B_TEST_SEND),
      INP_OUTPUT_(INP_OUTPUT),
      F_MAIN_(F_MAIN),
      processData_(std::move(processData)) {
    TIM_TEST_SEND->setObjectName(QStringLiteral("TIM_TEST_SEND"));
    connect(TIM_TEST_SEND, &QTimer::timeout, this, &TestSend::TIM_TEST_SEND_Timer);
}

QString TestSend::tag() const {
    return TIM_TEST_SEND->property(kTagProperty).toString();
}

void TestSend::setTag(const QString& tag) {
    TIM_TEST_SEND->setProperty(kTagProperty, tag);
}

void TestSend::B_TEST_SEND_Click() {
    TIM_TEST_SEND->start(kTickMs);
    setTag(QString::number(kCountdownStart));
    B_TEST_SEND_->setText(QString::number(kCountdownStart));
    setBackColour(B_TEST_SEND_, QPalette::Button, ROUGE());
    INP_OUTPUT_->setFocus();
    setBackColour(INP_OUTPUT_, QPalette::Base, ROUGE());
    drawAsEnabledWhenDisabled(B_TEST_SEND_);
    drawAsEnabledWhenDisabled(INP_OUTPUT_);
    // The user is switching to the receiving application: the window takes no input
    // until the text has gone, while the timers go on.
    F_MAIN_->setEnabled(false);
}

void TestSend::TIM_TEST_SEND_Timer() {
    const double remaining = numericValue(tag().toStdString()) - 1;
    setTag(QString::fromStdString(decimalText(remaining)));
    if (remaining >= 0) {
        B_TEST_SEND_->setText(
            QString::number(static_cast<long long>(remaining)).rightJustified(2, u'0'));
        return;
    }
    finish();
}

void TestSend::finish() {
    TIM_TEST_SEND->stop();
    B_TEST_SEND_->setText(QStringLiteral("Test"));
    F_MAIN_->setEnabled(true);
    setBackColour(B_TEST_SEND_, QPalette::Button, buttonFaceColour());
    setBackColour(INP_OUTPUT_, QPalette::Base, windowBackgroundColour());
    const std::string text = utf8ToCp1252(INP_OUTPUT_->text().toStdString());
    try {
        if (processData_) processData_(QByteArray(text.data(), qsizetype(text.size())));
    } catch (const std::exception& e) {
        qWarning() << "TestSend: the pipeline failed on the test text:" << e.what();
    }
}

}  // namespace kest
