#include "ui/WindowWidgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QRadioButton>
#include <QStyle>
#include <algorithm>

#include "ui/UrlLink.h"

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
        label->setProperty(kBoldProperty, true);
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

void restoreControlFonts(QWidget* root, const QFont& font) {
    for (QWidget* child : root->findChildren<QWidget*>()) {
        if (qobject_cast<QGroupBox*>(child)) continue;
        // Bold headings keep their weight at the window's size (in the layout's bold
        // face, which a narrowed face narrows further), links their underline.
        QFont own = child->property(kBoldProperty).toBool() ? layoutFont(true) : font;
        own.setUnderline(child->font().underline());
        child->setFont(own);
    }
}

namespace {

// The room to the right of a control: up to the nearest sibling that starts right of
// its left edge on the same line, or the parent's edge.
int roomToTheRight(const QWidget* widget) {
    const QWidget* parent = widget->parentWidget();
    int limit = parent->width();
    for (const QWidget* other : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect box = other->geometry();
        const bool sameLine =
            box.top() <= widget->geometry().bottom() && box.bottom() >= widget->geometry().top();
        if (other != widget && sameLine && box.left() > widget->x())
            limit = std::min(limit, box.left());
    }
    return limit - widget->x();
}

void widenTo(QWidget* widget, int needed) {
    if (needed <= widget->width() || !widget->parentWidget()) return;
    const int width = std::min(needed, roomToTheRight(widget));
    if (width > widget->width()) widget->resize(width, widget->height());
}

// A caption needs its advance or, where a closing letter's ink runs past it, its ink.
int textWidth(const QWidget* widget, const QString& text) {
    const QFontMetrics metrics = widget->fontMetrics();
    return std::max(metrics.horizontalAdvance(text), metrics.tightBoundingRect(text).right() + 1);
}

// Besides its text: a check box's or option's indicator, a label's margins.
int decorationWidth(const QWidget* widget) {
    const QStyle* style = widget->style();
    if (qobject_cast<const QRadioButton*>(widget))
        return style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, widget) +
               style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, widget);
    if (qobject_cast<const QCheckBox*>(widget))
        return style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget) +
               style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, widget);
    const auto* label = qobject_cast<const QLabel*>(widget);
    return label ? 2 * label->margin() + 2 * label->frameWidth() : 0;
}

// Widens the control; where the room runs out before the text does, its letters are
// set a hair closer (half a pixel each at most) rather than the last one being cut.
void fitToText(QWidget* widget, const QString& text) {
    widenTo(widget, decorationWidth(widget) + textWidth(widget, text));
    const int over = decorationWidth(widget) + textWidth(widget, text) - widget->width();
    if (over <= 0 || text.size() < 2) return;
    QFont font = widget->font();
    font.setLetterSpacing(QFont::AbsoluteSpacing,
                          -std::min(0.5, (over + 0.5) / qreal(text.size() - 1)));
    widget->setFont(font);
}

}  // namespace

void widenLabelsToText(QWidget* root) {
    for (QWidget* child : root->findChildren<QWidget*>()) {
        if (auto* link = qobject_cast<URLLink*>(child)) {
            widenTo(link, link->sizeHint().width());
        } else if (auto* box = qobject_cast<QAbstractButton*>(child)) {
            if (qobject_cast<QCheckBox*>(box) || qobject_cast<QRadioButton*>(box))
                fitToText(box, box->text());
        } else if (auto* label = qobject_cast<QLabel*>(child)) {
            // Status fields keep their boxes: their colour is the box. A link's own
            // label follows its link.
            if (label->text().isEmpty() || label->objectName().startsWith("AFF_") ||
                qobject_cast<URLLink*>(label->parentWidget()))
                continue;
            fitToText(label, label->text());
        }
    }
}

void styleFrame(QGroupBox* frame, const QString& caption, const QColor& captionColour) {
    frame->setTitle(caption);
    frame->setFont(layoutFont(true));
    // The caption is drawn in the frame's text colour. The controls inside keep the
    // desktop's: a style sheet would do it more briefly but would take over the
    // painting of every control inside, and the fields' state colours with it.
    const QColor text = QGuiApplication::palette().color(QPalette::WindowText);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::WindowText, captionColour);
    frame->setPalette(palette);
    for (QWidget* child : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<QGroupBox*>(child)) continue;
        QPalette own = child->palette();
        own.setColor(QPalette::WindowText, text);
        child->setPalette(own);
    }
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

#include <QDebug>
#include <exception>

namespace kest {

void runHandler(const char* handler, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        qWarning() << handler << "failed:" << e.what();
    } catch (...) {
        qWarning() << handler << "failed with an unknown error";
    }
}

}  // namespace kest
