// The window's captions must be readable in the boxes the layout gives them: the
// window's own font, labels that widen into free room only, links shown whole, and no
// text covered by another control.
// The test program runs a second time with only DejaVu Sans installed (a bare Debian),
// where the window's preferred faces are all missing.

#include <QAbstractButton>
#include <QFontInfo>
#include <QStyle>

#include "ui/UrlLink.h"
#include "ui/WindowFixture.h"

namespace kest::testing {
namespace {

using WindowLayoutTest = WindowTest;

bool isLinkLabel(const QWidget* widget) {
    return qobject_cast<const URLLink*>(widget->parentWidget()) != nullptr;
}

// Up to the last pixel the text paints: the advance of a closing colon or letter
// adds a blank column or two that may fall outside the box unseen.
int inkWidth(const QWidget* widget, const QString& text) {
    return widget->fontMetrics().tightBoundingRect(text).right() + 1;
}

// In the window's own font, every caption fits its box.
TEST_F(WindowLayoutTest, EveryCaptionFitsItsBoxInTheWindowsFont) {
    // The run with the fonts of a bare Debian must get the face it is there for.
    if (const QByteArray face = qgetenv("KEST_EXPECTED_FACE"); !face.isEmpty()) {
        EXPECT_EQ(QFontInfo(window->font()).family().toStdString(), face.toStdString());
    }
    for (const QLineEdit* field : window->findChildren<QLineEdit*>())
        EXPECT_EQ(field->font().pixelSize(), window->font().pixelSize())
            << field->objectName().toStdString();
    window->INP_PASS->setText("OPEN.THE.PANEL");  // the panel and its frames shown
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->text().isEmpty() || isLinkLabel(label)) continue;
        const int needed = inkWidth(label, label->text());
        EXPECT_LE(needed, label->width())
            << label->objectName().toStdString() << " \"" << label->text().toStdString() << '"';
    }
    for (QAbstractButton* box : window->findChildren<QAbstractButton*>()) {
        if (!qobject_cast<QCheckBox*>(box) && !qobject_cast<QRadioButton*>(box)) continue;
        const bool radio = qobject_cast<QRadioButton*>(box) != nullptr;
        const QStyle* style = box->style();
        const int needed = style->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorWidth
                                                    : QStyle::PM_IndicatorWidth) +
                           style->pixelMetric(radio ? QStyle::PM_RadioButtonLabelSpacing
                                                    : QStyle::PM_CheckBoxLabelSpacing) +
                           inkWidth(box, box->text());
        EXPECT_LE(needed, box->width()) << box->objectName().toStdString();
    }
    for (QPushButton* button : window->findChildren<QPushButton*>())
        EXPECT_LE(inkWidth(button, QString(button->text()).remove('&')) + 6, button->width())
            << button->objectName().toStdString();
    for (QGroupBox* frame : window->findChildren<QGroupBox*>()) {
        if (frame->title().isEmpty()) continue;
        EXPECT_LT(frame->fontMetrics().horizontalAdvance(frame->title()), frame->width())
            << frame->objectName().toStdString();
    }
}

// Where a label paints its text, in its parent's coordinates.
QRect textRect(const QLabel* label) {
    const QRect inside = label->style()->itemTextRect(label->fontMetrics(), label->contentsRect(),
                                                      int(label->alignment()), true, label->text());
    return inside.translated(label->pos());
}

// What must show whole, in its parent's coordinates: a label's or a link's text, a
// button, an icon of the rule table; nothing for other controls.
QRect shownBox(const QWidget* control) {
    if (!control->isVisibleTo(control->window()) || control->isWindow()) return {};
    if (const auto* link = qobject_cast<const URLLink*>(control))
        return textRect(link->lblURL).translated(link->pos());
    if (qobject_cast<const PictureBox*>(control))
        return qobject_cast<const SearchReplaceFrame*>(control->parentWidget())
                   ? control->geometry()
                   : QRect();
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->text().isEmpty() || isLinkLabel(label) ? QRect() : textRect(label);
    return qobject_cast<const QPushButton*>(control) ? control->geometry() : QRect();
}

// Whole: inside its frame and the window, and no control covering any of it that is
// stacked above it (a later sibling; for an icon or a button, any sibling); an icon not cut, a
// link's text without an ellipsis.
TEST_F(WindowLayoutTest, EveryTextIconAndButtonIsWholeInTheWindowAndUncovered) {
    window->AFF_INSTANCE->setText("_Scanner_001");
    window->AFF_INSTANCE->show();
    window->INP_PASS->setText("OPEN.THE.PANEL");
    window->show();  // links fit their texts to their boxes when shown
    for (QWidget* control : window->findChildren<QWidget*>()) {
        const QRect box = shownBox(control);
        if (box.isEmpty()) continue;
        const std::string name = control->objectName().toStdString();
        const QRect inWindow(control->parentWidget()->mapTo(window.get(), box.topLeft()),
                             box.size());
        EXPECT_TRUE(window->rect().contains(inWindow) &&
                    control->parentWidget()->rect().contains(box))
            << name << " is cut by its frame or the window";
        const auto* icon = qobject_cast<const PictureBox*>(control);
        const QObjectList& siblings = control->parentWidget()->children();
        const bool anyOrder = icon || qobject_cast<const QPushButton*>(control);
        for (qsizetype i = anyOrder ? 0 : siblings.indexOf(control) + 1; i < siblings.size(); ++i) {
            const auto* above = qobject_cast<const QWidget*>(siblings[i]);
            if (!above || above == control || !above->isVisibleTo(window.get())) continue;
            // A link covers where its text is, not its whole box.
            const bool link = qobject_cast<const URLLink*>(above);
            if ((link ? shownBox(above) : above->geometry()).intersects(box))
                ADD_FAILURE() << name << " at " << box.x() << ".." << box.right()
                              << " is covered by " << above->objectName().toStdString();
        }
        EXPECT_TRUE(!icon || icon->hasScaledContents() ||
                    control->rect().contains(QRect({}, icon->pixmap().size())))
            << name << " cuts its picture";
    }
    for (URLLink* link : window->findChildren<URLLink*>())
        EXPECT_EQ(link->lblURL->text().toStdString(), link->text().toStdString());
}

}  // namespace
}  // namespace kest::testing
