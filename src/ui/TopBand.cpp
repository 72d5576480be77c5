#include "ui/TopBand.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QUrl>

#include "ui/Colours.h"
#include "ui/Maker.h"
#include "ui/UrlLink.h"
#include "ui/WindowWidgets.h"

namespace kest {

namespace {

URLLink* makeLink(QWidget* window, const QString& name, const QString& text, const QString& url) {
    auto* link = new URLLink(window);
    link->setObjectName(name);
    link->setText(text);
    link->setUrl(url);
    return link;
}

}  // namespace

TopBand::TopBand(QWidget* window) : QObject(window) {
    setObjectName("TopBand");
    auto* title = new PictureBox(6, ":/mainwindow/title.png", window);
    placeTw(title, 15, -90, 1695, 300);
    pictures.push_back(title);
    auto* heading = makeLabel(window, "Label1(4)", "Output to Keyboard", true);
    placeTw(heading, 0, 0, 1695, 195);
    heading->raise();  // over the title picture, under the password field

    INP_PASS = new QLineEdit(window);
    INP_PASS->setObjectName("INP_PASS");
    INP_PASS->setEchoMode(QLineEdit::Password);
    INP_PASS->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));  // "*"
    INP_PASS->setToolTip("Password field");
    // Right of the heading, which it would cover where the layout puts it (930 twips).
    placeTw(INP_PASS, 1590, -15, 930, 240);
    // Start below the field's negative top, as the window's edge cuts it.
    INP_PASS->move(INP_PASS->x(), 0);

    B_HLP[0] = makePictureButton(window, "B_HLP(0)", ":/mainwindow/help.png");
    placeTw(B_HLP[0], 2550, -15, 225, 225);
    B_HLP[0]->move(B_HLP[0]->x(), 0);
    B_HLP[1] = makePictureButton(window, "B_HLP(1)", ":/mainwindow/help.png");
    placeTw(B_HLP[1], 3420, 420, 225, 225);
    auto* arrow = new PictureBox(5, ":/mainwindow/arrow.png", window);
    placeTw(arrow, 2820, 0, 375, 450);
    pictures.push_back(arrow);
    B_MIN = makePictureButton(window, "B_MIN", ":/mainwindow/minimize.png");
    B_MIN->setToolTip("Minimize to Tray Icon");
    B_MIN->setIconSize(QSize(76, 24));
    placeTw(B_MIN, 5175, 15, 1200, 420);

    AFF_INSTANCE = makeLabel(window, "AFF_INSTANCE", "INSTANCE HERE", true);
    AFF_INSTANCE->setToolTip("Instance Name");
    setBackColour(AFF_INSTANCE, instanceBackColour());
    QPalette palette = AFF_INSTANCE->palette();
    palette.setColor(QPalette::WindowText, instanceTextColour());
    AFF_INSTANCE->setPalette(palette);
    placeTw(AFF_INSTANCE, 0, 210, 2160, 240);
    AFF_INSTANCE->hide();

    // The address without its scheme: the whole of it fits beside the arrow.
    URLLink1 = makeLink(window, "URLLink1", QUrl(kMakerWebAddress).host(), kMakerWebAddress);
    placeTw(URLLink1, 3225, 210, 1950, 225);
    auto* request = makeLabel(window, "Label1(12)", "Request:");
    QPalette blue = request->palette();
    blue.setColor(QPalette::WindowText, settingsCaptionColour());
    request->setPalette(blue);
    // On the line of the link beside it, ending where the link begins.
    request->setAlignment(Qt::AlignRight | Qt::AlignTop);
    placeTw(request, 0, 435, 675, 240);
    URL_SUPPORT = makeLink(window, "URL_SUPPORT", kMakerSupportAddress,
                           QStringLiteral("mailto:") + kMakerSupportAddress);
    URL_SUPPORT->setToolTip("Technical Support");
    // The whole address: the help button and the product link move right for it.
    placeTw(URL_SUPPORT, 690, 435, 2700, 225);
    request->resize(URL_SUPPORT->x() - request->x(), request->height());
    URLLink2 =
        makeLink(window, "URLLink2", "Serial, TCP and files as keystrokes", kMakerProductPage);
    placeTw(URLLink2, 3690, 435, 2700, 375);

    LST_DEBUG = new QListWidget(window);
    LST_DEBUG->setObjectName("LST_DEBUG");
    LST_DEBUG->setToolTip("DEBUG SCREEN Double Click to Clear");
    LST_DEBUG->viewport()->installEventFilter(this);
    placeTw(LST_DEBUG, 0, 675, 6375, 645);
    auto* banner = new PictureBox(1, ":/mainwindow/banner.png", window);
    placeTw(banner, 90, 1320, 4155, 300);
    pictures.push_back(banner);
}

void TopBand::LST_DEBUG_DblClick() {
    LST_DEBUG->clear();
}

bool TopBand::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LST_DEBUG->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        LST_DEBUG_DblClick();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kest
