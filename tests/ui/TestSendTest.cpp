// The test send of the window: a ten-second countdown on its button, in red, with the
// window refusing input, then the field's text goes to the pipeline as if received.

#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

#include "ui/Colours.h"
#include "ui/TestSend.h"
#include "ui/WindowFixture.h"

namespace kest::testing {
namespace {

class TestSendTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        window->INP_PASS->setText("OPEN.THE.PANEL");
        window->INP_PREFIX->setText("<");  // an empty text shows as "<>"
        window->INP_SUFFIX->setText(">");
        window->show();
        // Asked by every received text: the window's state as the text arrives.
        window->ownWindowFocused = [this] {
            enabledWhenSent = window->isEnabled();
            countingWhenSent = window->testSend->counting();
            return false;
        };
    }
    QColor buttonColour() const {
        const QColor painted = window->B_TEST_SEND->palette().color(QPalette::Button);
        EXPECT_EQ(window->B_TEST_SEND->property("backColour").value<QColor>(), painted);
        return painted;
    }
    QColor fieldColour() const {
        const QColor painted = window->INP_OUTPUT->palette().color(QPalette::Base);
        EXPECT_EQ(window->INP_OUTPUT->property("backColour").value<QColor>(), painted);
        return painted;
    }
    void tick() { window->testSend->TIM_TEST_SEND_Timer(); }

    bool enabledWhenSent = false;
    bool countingWhenSent = true;
};

TEST_F(TestSendTest, CountsDownInRedWithTheWindowDisabledAndSendsTheFieldAtTheEleventhTick) {
    window->INP_OUTPUT->setText("at the click");
    window->B_TEST_SEND->click();
    EXPECT_TRUE(window->testSend->counting());
    EXPECT_EQ(window->testSend->TIM_TEST_SEND->interval(), 1000);
    EXPECT_EQ(window->B_TEST_SEND->text(), "10");
    EXPECT_EQ(buttonColour(), ROUGE());
    EXPECT_EQ(fieldColour(), ROUGE());
    QStringList captions;
    for (int second = 1; second <= 10; ++second) {
        tick();
        captions << window->B_TEST_SEND->text();
        EXPECT_EQ(keyboard.typedText(), "") << second;
        EXPECT_FALSE(window->isEnabled()) << second;
    }
    EXPECT_EQ(captions, (QStringList{"09", "08", "07", "06", "05", "04", "03", "02", "01", "00"}));

    // The field as it is at the last tick is sent, in Windows-1252, once the window
    // takes input again.
    window->INP_OUTPUT->setText(QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC"));
    tick();
    EXPECT_EQ(keyboard.typedText(), "<caf\xE9 \x80>");
    EXPECT_EQ(window->B_TEST_SEND->text(), "Test");  // never "-01"
    EXPECT_FALSE(window->testSend->counting());
    EXPECT_FALSE(countingWhenSent);
    EXPECT_TRUE(enabledWhenSent);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(buttonColour(), buttonFaceColour());
    EXPECT_EQ(fieldColour(), windowBackgroundColour());

    // An empty field is sent too; the real timer drives the ticks.
    window->INP_OUTPUT->clear();
    window->B_TEST_SEND->click();
    window->testSend->TIM_TEST_SEND->setInterval(1);  // the real ticks, without the real second
    EXPECT_TRUE(waitFor([&] { return keyboard.typedText() == "<caf\xE9 \x80><>"; }))
        << keyboard.typedText();
    EXPECT_EQ(window->B_TEST_SEND->text(), "Test");
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
    window->INP_OUTPUT->setText("kest 42");
    window->B_TEST_SEND->click();
    tick();
    ASSERT_FALSE(window->isEnabled());
    ASSERT_EQ(window->B_TEST_SEND->text(), "09");
    // Ordinary text reaches at least 4.5:1; greyed text on the red is near 1:1.
    EXPECT_GE(textContrastOnRed(window->B_TEST_SEND), 4.5);
    EXPECT_GE(textContrastOnRed(window->INP_OUTPUT), 4.5);
}

}  // namespace
}  // namespace kest::testing
