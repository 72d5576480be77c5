#pragma once
// Small pieces the frames of the main window are built from: placement in twips
// (15 twips are one pixel at 96 dpi; Qt scales for denser screens) and the clickable
// pictures of the Picture1 array.

#include <QLabel>
#include <QPushButton>
#include <QString>

#include "ui/LayoutFont.h"

class QGroupBox;

namespace kest {

inline constexpr int kTwipsPerPixel = 15;
// Marks a control whose caption is bold in the layout.
inline constexpr const char* kBoldProperty = "boldCaption";

inline int twipsToPixels(int twips) {
    // Rounded to the nearest pixel, also for the negative positions of the layout.
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

void placeTw(QWidget* widget, int x, int y, int width, int height);

// A picture of the Picture1 array; every element reports clicks with its index.
class PictureBox : public QLabel {
    Q_OBJECT
  public:
    PictureBox(int index, const QString& image, QWidget* parent);
    int index() const { return index_; }

  signals:
    void clicked(int index);

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    int index_;
};

// A label with the given system name and caption.
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, bool bold = false);
// A button showing only a picture.
QPushButton* makePictureButton(QWidget* parent, const QString& name, const QString& image);
// Gives a frame the bold caption of the window's frames, in the given colour.
void styleFrame(QGroupBox* frame, const QString& caption, const QColor& captionColour);
// Frames pass their bold caption font on to their controls; the controls keep the
// desktop's font unless they chose one of their own.
void restoreControlFonts(QWidget* root, const QFont& font);
// Labels, check boxes, options and links whose text is wider than their box in the
// window's font grow to the right as far as the text needs, but never over the next
// control on their line. Status fields keep their boxes.
void widenLabelsToText(QWidget* root);
// A frame with the bold caption of the window's frames, in the given colour.
QGroupBox* makeFrame(QWidget* parent, const QString& name, const QString& caption,
                     const QColor& captionColour);

}  // namespace kest

namespace kest {

enum class StatusRole;

// Colours a field or label by a channel's state role (VERT, ROUGE, button face, or
// the control's own colour), and keeps the colour it shows readable for tests.
void showRole(QWidget* widget, StatusRole role);
QColor shownColour(const QWidget* widget);

// The background of a field or label, as the window's colour holders set it.
void setBackColour(QWidget* widget, const QColor& colour);

}  // namespace kest

#include <string>

namespace kest {

// Controls show Unicode; the settings, rules and files are Windows-1252 bytes.
std::string toCp1252(const QString& text);
QString fromCp1252(const std::string& text);

}  // namespace kest

#include <functional>

namespace kest {

// Runs a control's handler so that no exception leaves the Qt event handler: a
// failure abandons the handler's statement and is logged with the handler's name.
void runHandler(const char* handler, const std::function<void()>& body);

}  // namespace kest
