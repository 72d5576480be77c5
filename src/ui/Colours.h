#pragma once
// The colours the window uses to mark states. Classic Windows colour values are
// 0x00BBGGRR, so each one is spelled out here once as RGB and every widget that marks
// success or failure copies its colour from these holders.

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

namespace kest {

// VB colour value (0x00BBGGRR) to QColor.
constexpr QRgb vbColourToRgb(unsigned int bgr)
{
    return qRgb(int(bgr & 0xFFu), int((bgr >> 8) & 0xFFu), int((bgr >> 16) & 0xFFu));
}

// Success: open, connected, present, unlocked (&H0080FF80).
inline QColor VERT() { return QColor(128, 255, 128); }
// Failure: failed, busy (&H008080FF).
inline QColor ROUGE() { return QColor(255, 128, 128); }

// The neutral colours come from the desktop's palette, as the system colours did.
inline QColor buttonFaceColour() { return QGuiApplication::palette().color(QPalette::Button); }
inline QColor windowBackgroundColour() { return QGuiApplication::palette().color(QPalette::Base); }

// Captions and labels.
inline QColor channelCaptionColour() { return QColor::fromRgb(vbColourToRgb(0x00800080u)); }
inline QColor settingsCaptionColour() { return QColor::fromRgb(vbColourToRgb(0x00FF0000u)); }
inline QColor instanceBackColour() { return QColor::fromRgb(vbColourToRgb(0x0000FFFFu)); }
inline QColor instanceTextColour() { return QColor::fromRgb(vbColourToRgb(0x000000FFu)); }
inline QColor saveButtonColour() { return QColor::fromRgb(vbColourToRgb(0x00E0E0E0u)); }

}  // namespace kest
