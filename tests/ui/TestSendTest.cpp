#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <stdexcept>

#include "ui/Colours.h"
#include "ui/OffscreenApp.h"
#include "ui/TestSend.h"

namespace kest {
namespace {

class TestSendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::offscreenApp();
        F_MAIN = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(F_MAIN.get());
        INP_OUTPUT = new QLineEdit;
        B_TEST_SEND = new QPushButton("Test");
        layout->addWidget(INP_OUTPUT);
        layout->addWidget(B_TEST_SEND);
        sender =
            new TestSend(B_TEST_SEND, INP_OUTPUT, F_MAIN.get(), [this](const QByteArray& text) {
                if (throwFromPipeline) throw std::runtime_error("pipeline");
                sent << text;
                enabledWhenSent = F_MAIN->isEnabled();
                timerActiveWhenSent = sender->TIM_TEST_SEND->isActive();
            });
        QObject::connect(B_TEST_SEND, &QPushButton::clicked, sender, &TestSend::B_TEST_SEND_Click);
        F_MAIN->show();
    }

    QColor buttonColour() const {
        const QColor painted = B_TEST_SEND->palette().color(QPalette::Button);
        EXPECT_EQ(B_TEST_SEND->property("backColour").value<QColor>(), painted);
        return painted;
    }
    QColor fieldColour() const {
        const QColor painted = INP_OUTPUT->palette().color(QPalette::Base);
        EXPECT_EQ(INP_OUTPUT->property("backColour").value<QColor>(), painted);
        return painted;
    }

    std::unique_ptr<QWidget> F_MAIN;
    QLineEdit* INP_OUTPUT = nullptr;
    QPushButton* B_TEST_SEND = nullptr;
    TestSend* sender = nullptr;
    QList<QByteArray> sent;
    bool throwFromPipeline = false;
    bool enabledWhenSent = false;
    bool timerActiveWhenSent = true;
};

TEST_F(TestSendTest, CountsDownInRedWithTheWindowDisabledAndSendsTheFieldAtTheEleventhTick) {
    INP_OUTPUT->setText("at the click");
    B_TEST_SEND->click();
    EXPECT_TRUE(sender->TIM_TEST_SEND->isActive());
    EXPECT_EQ(sender->TIM_TEST_SEND->interval(), 1000);
    EXPECT_EQ(B_TEST_SEND->text(), "10");
    EXPECT_EQ(buttonColour(), ROUGE());
    EXPECT_EQ(fieldColour(), ROUGE());
    QStringList captions;
    for (int tick = 1; tick <= 10; ++tick) {
        sender->TIM_TEST_SEND_Timer();
        captions << B_TEST_SEND->text();
        EXPECT_TRUE(sent.isEmpty()) << tick;
        EXPECT_FALSE(F_MAIN->isEnabled()) << tick;
    }
    EXPECT_EQ(captions, (QStringList{"09", "08", "07", "06", "05", "04", "03", "02", "01", "00"}));

    // The field as it is at the last tick is sent, in Windows-1252.
    INP_OUTPUT->setText(QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC"));
    sender->TIM_TEST_SEND_Timer();
    EXPECT_EQ(sent, QList<QByteArray>{"caf\xE9 \x80"});
    EXPECT_EQ(B_TEST_SEND->text(), "Test");  // never "-01"
    EXPECT_FALSE(sender->TIM_TEST_SEND->isActive());
    EXPECT_FALSE(timerActiveWhenSent);
    EXPECT_TRUE(enabledWhenSent);
    EXPECT_TRUE(F_MAIN->isEnabled());
    EXPECT_EQ(buttonColour(), buttonFaceColour());
    EXPECT_EQ(fieldColour(), windowBackgroundColour());

    // An empty field is sent too.
    INP_OUTPUT->clear();
    B_TEST_SEND->click();
    for (int tick = 0; tick < 11; ++tick) sender->TIM_TEST_SEND_Timer();
    EXPECT_EQ(sent, (QList<QByteArray>{"caf\xE9 \x80", ""}));
}

TEST_F(TestSendTest, TicksRunThroughTheEventLoop) {
    INP_OUTPUT->setText("x");
    B_TEST_SEND->click();
    sender->TIM_TEST_SEND->setInterval(1);  // the real ticks, without the real second
    QElapsedTimer deadline;
    deadline.start();
    while (sent.isEmpty() && deadline.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(B_TEST_SEND->text(), "Test");
    EXPECT_TRUE(F_MAIN->isEnabled());
}

TEST_F(TestSendTest, PipelineFailureLeavesTheSendIdle) {
    throwFromPipeline = true;
    B_TEST_SEND->click();
    for (int tick = 0; tick < 11; ++tick) EXPECT_NO_THROW(sender->TIM_TEST_SEND_Timer());
    EXPECT_FALSE(sender->TIM_TEST_SEND->isActive());
    EXPECT_TRUE(F_MAIN->isEnabled());
    EXPECT_EQ(B_TEST_SEND->text(), "Test");
}

// WCAG's relative luminance and contrast ratio.
double luminance(const QColor& c) {
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}
double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
// The contrast of the darkest pixel of a control (its text) against the light red
// the countdown is shown on.
double textContrastOnRed(QWidget* control) {
    const QImage image = control->grab().toImage();
    double darkest = 1.0;
    QColor text;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (luminance(pixel) < darkest) {
                darkest = luminance(pixel);
                text = pixel;
            }
        }
    return contrast(text, ROUGE());
}

TEST_F(TestSendTest, CountdownIsReadableWhileTheWindowRefusesInput) {
    INP_OUTPUT->setText("kest 42");
    B_TEST_SEND->click();
    sender->TIM_TEST_SEND_Timer();
    ASSERT_FALSE(F_MAIN->isEnabled());
    ASSERT_EQ(B_TEST_SEND->text(), "09");
    // Ordinary text reaches at least 4.5:1; greyed text on the red is near 1:1.
    EXPECT_GE(textContrastOnRed(B_TEST_SEND), 4.5);
    EXPECT_GE(textContrastOnRed(INP_OUTPUT), 4.5);
}

}  // namespace
}  // namespace kest
