#include "ui/LayoutFont.h"

#include <QFontMetricsF>
#include <QString>
#include <QStringList>
#include <array>
#include <cmath>

namespace kest {

namespace {

// A line of the window's own captions, and its width at the layout's size in Arial's
// metrics, regular and bold (measured in Liberation Sans, whose advances are Arial's).
constexpr const char* kSample =
    "Output to Keyboard Serial Port #: Config: Request: Search and Replace";
constexpr std::array<qreal, 2> kArialSampleWidth = {349.2, 373.0};
// Hinting may move a metric-compatible face by a pixel or two: it is left alone.
constexpr qreal kTolerance = 1.03;

QFont preferredFont(bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                      QStringLiteral("Arial"), QStringLiteral("Helvetica"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans Condensed")});
    // Without any of them, some sans-serif face rather than a serif one.
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kLayoutFontPixels);
    font.setBold(bold);
    return font;
}

// The stretch (percent) that brings the face found to Arial's widths.
int stretchFor(bool bold) {
    const qreal width = QFontMetricsF(preferredFont(bold)).horizontalAdvance(kSample);
    const qreal wanted = kArialSampleWidth[bold ? 1 : 0];
    if (width <= wanted * kTolerance) return QFont::Unstretched;
    return std::max(int(QFont::UltraCondensed), int(std::floor(100 * wanted / width)));
}

}  // namespace

QFont layoutFont(bool bold) {
    // The faces do not change while the program runs: measured once.
    static const std::array<int, 2> stretch = {stretchFor(false), stretchFor(true)};
    QFont font = preferredFont(bold);
    if (stretch[bold ? 1 : 0] != QFont::Unstretched) font.setStretch(stretch[bold ? 1 : 0]);
    return font;
}

}  // namespace kest
