#include "ui/WindowWidgets.h"

#include <QApplication>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPixmap>

namespace kest {

void placeTw(QWidget* widget, int x, int y, int width, int height) {
    widget->setGeometry(twipsToPixels(x), twipsToPixels(y), twipsToPixels(width),
                        twipsToPixels(height));
}

PictureBox::PictureBox(int index, const QString& image, QWidget* parent)
    : QLabel(parent), index_(index) {
    setObjectName(QStringLiteral("Picture1(%1)").arg(index));
    setPixmap(QPixmap(image));
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked(index_);
    QLabel::mouseReleaseEvent(event);
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, bool bold) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

QPushButton* makePictureButton(QWidget* parent, const QString& name, const QString& image) {
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setIcon(QIcon(image));
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QGroupBox* makeFrame(QWidget* parent, const QString& name, const QString& caption,
                     const QColor& captionColour) {
    auto* frame = new QGroupBox(parent);
    frame->setObjectName(name);
    styleFrame(frame, caption, captionColour);
    return frame;
}

void restoreControlFonts(QWidget* root) {
    for (QWidget* child : root->findChildren<QWidget*>()) {
        if (qobject_cast<QGroupBox*>(child) || child->testAttribute(Qt::WA_SetFont)) continue;
        child->setFont(QApplication::font(child));
    }
}

void styleFrame(QGroupBox* frame, const QString& caption, const QColor& captionColour) {
    const QString name = frame->objectName();
    frame->setTitle(caption);
    QFont font = frame->font();
    font.setBold(true);
    font.setPointSizeF(8.25);
    frame->setFont(font);
    // Only the caption takes the colour; the controls inside keep the desktop's.
    frame->setStyleSheet(
        QStringLiteral("QGroupBox#%1::title { color: %2; }").arg(name, captionColour.name()));
}

}  // namespace kest

#include <QLineEdit>

#include "channels/ChannelTypes.h"
#include "ui/Colours.h"

namespace kest {

void setBackColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    // Fields paint their Base role; labels and buttons their Window / Button roles.
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Button, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
    widget->setProperty("backColour", colour);
}

void showRole(QWidget* widget, StatusRole role) {
    switch (role) {
        case StatusRole::Success:
            setBackColour(widget, VERT());
            break;
        case StatusRole::Failure:
            setBackColour(widget, ROUGE());
            break;
        case StatusRole::Neutral:
            setBackColour(widget, buttonFaceColour());
            break;
        case StatusRole::Ordinary:
            widget->setPalette(QPalette());
            widget->setAutoFillBackground(false);
            widget->setProperty("backColour", QVariant());
            break;
    }
}

QColor shownColour(const QWidget* widget) {
    const QVariant colour = widget->property("backColour");
    if (colour.isValid()) return colour.value<QColor>();
    return widget->palette().color(qobject_cast<const QLineEdit*>(widget) ? QPalette::Base
                                                                          : QPalette::Window);
}

}  // namespace kest

#include "keyboard/Cp1252.h"

namespace kest {

std::string toCp1252(const QString& text) {
    return utf8ToCp1252(text.toStdString());
}

QString fromCp1252(const std::string& text) {
    return QString::fromStdString(cp1252ToUtf8(text));
}

}  // namespace kest
