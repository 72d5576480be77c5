#pragma once
// The face of the program's windows. The layout was drawn for 8.25-point MS Sans Serif,
// 11 pixels at 96 dpi. The twip boxes only hold their captions in a face of about its
// width, so the windows ask for Arial's metrics (Liberation Sans, Arimo) before the
// desktop's wider default, and narrow a wider face to those metrics where none of them
// is installed (a bare Debian has only DejaVu Sans). The size is in device-independent
// pixels: Qt scales it with the rest of the layout on dense screens.

#include <QFont>

namespace kest {

inline constexpr int kLayoutFontPixels = 11;

// Needs the application object.
QFont layoutFont(bool bold = false);

}  // namespace kest
