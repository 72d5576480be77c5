#pragma once
// The face of the program's windows. The layout was drawn for 8.25-point MS Sans Serif,
// 11 pixels at 96 dpi. The twip boxes only hold their captions in a face of about its
// width, so the windows ask for Arial's metrics (Liberation Sans, Arimo) before the
// desktop's wider default. The size is in device-independent pixels: Qt scales it with
// the rest of the layout on dense screens.

#include <QFont>
#include <QString>

namespace kest {

inline constexpr int kLayoutFontPixels = 11;

inline QFont layoutFont(bool bold = false) {
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

}  // namespace kest
