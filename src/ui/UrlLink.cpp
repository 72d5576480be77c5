#include "ui/UrlLink.h"

#include <QApplication>
#include <QCursor>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFontMetrics>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPalette>
#include <QRegularExpression>

#include "ui/LayoutFont.h"

namespace kest {

namespace {

// The error number the label reports for an address that is not an address at all:
// the classic "invalid procedure call or argument".
constexpr int kInvalidAddressError = 5;

// A stored "ShowToolTip" must really be a yes/no; anything else counts as unreadable.
bool readFlag(const QVariant& value, bool& flag) {
    if (value.typeId() == QMetaType::Bool || value.typeId() == QMetaType::Int ||
        value.typeId() == QMetaType::LongLong) {
        flag = value.toBool();
        return true;
    }
    if (value.typeId() != QMetaType::QString && value.typeId() != QMetaType::QByteArray)
        return false;
    const QString s = value.toString().trimmed().toLower();
    if (s == "true" || s == "-1" || s == "1") {
        flag = true;
        return true;
    }
    if (s == "false" || s == "0") {
        flag = false;
        return true;
    }
    return false;
}

bool readText(const QVariant& value, QString& text) {
    switch (value.typeId()) {
        case QMetaType::QString:
        case QMetaType::QByteArray:
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Double:
            text = value.toString();
            return true;
        default:
            return false;
    }
}

}  // namespace

URLLink::URLLink(QWidget* parent)
    : QWidget(parent), lblURL(new QLabel(QStringLiteral("Label1"), this)) {
    lblURL->setObjectName(QStringLiteral("lblURL"));
    QFont linkFont = layoutFont();
    linkFont.setUnderline(true);
    setFont(linkFont);
    QPalette pal = lblURL->palette();
    pal.setColor(QPalette::WindowText, pal.color(QPalette::Highlight));
    lblURL->setPalette(pal);
    lblURL->setCursor(Qt::PointingHandCursor);
    lblURL->installEventFilter(this);
    opener_ = &URLLink::openWithDesktop;
    initialise();
}

void URLLink::setText(const QString& text) {
    text_ = text;
    lblURL->move(0, 0);
    fitLabel();
    emit propertyChanged(QStringLiteral("Text"));
}

void URLLink::fitLabel() {
    const QFontMetrics metrics(font());
    QSize size = metrics.size(Qt::TextSingleLine, text_);
    // A text wider than the box it was given ends in an ellipsis rather than being cut
    // in the middle of a letter; text() and the stored property keep it whole.
    if (size.width() > width()) {
        lblURL->setText(metrics.elidedText(text_, Qt::ElideRight, width()));
        size.setWidth(width());
    } else {
        lblURL->setText(text_);
    }
    lblURL->resize(size);
    updateGeometry();
}

void URLLink::resizeEvent(QResizeEvent* event) {
    fitLabel();
    QWidget::resizeEvent(event);
}

void URLLink::changeEvent(QEvent* event) {
    // A window that hands its own font down would otherwise leave the label sized
    // for the old one, clipped or too wide to click precisely.
    if (event->type() == QEvent::FontChange) fitLabel();
    QWidget::changeEvent(event);
}

void URLLink::setUrl(const QString& url) {
    url_ = url;
    UpdateToolTip();
    emit propertyChanged(QStringLiteral("URL"));
}

void URLLink::setShowToolTip(bool show) {
    showToolTip_ = show;
    UpdateToolTip();
    emit propertyChanged(QStringLiteral("ShowToolTip"));
}

void URLLink::readProperties(const QVariantMap& stored) {
    QString text;
    if (readText(stored.value(QStringLiteral("Text"), QString()), text)) {
        setText(text);
    } else {
        qWarning() << "URLLink" << objectName() << ": stored Text unreadable, reset";
        initialise();
    }
    QString url;
    if (readText(stored.value(QStringLiteral("URL"), QString()), url)) {
        url_ = url;  // stored directly: the tooltip follows with ShowToolTip below
    } else {
        qWarning() << "URLLink" << objectName() << ": stored URL unreadable, reset";
        initialise();
    }
    bool show = false;
    if (readFlag(stored.value(QStringLiteral("ShowToolTip"), false), show)) {
        setShowToolTip(show);
    } else {
        qWarning() << "URLLink" << objectName() << ": stored ShowToolTip unreadable, reset";
        initialise();
    }
}

QVariantMap URLLink::writeProperties() const {
    return {{QStringLiteral("Text"), text()},
            {QStringLiteral("URL"), url_},
            {QStringLiteral("ShowToolTip"), showToolTip_}};
}

QSize URLLink::sizeHint() const {
    return QFontMetrics(font())
        .size(Qt::TextSingleLine, text_)
        .expandedTo(QSize(1, QFontMetrics(font()).height()));
}

bool URLLink::openWithDesktop(const QString& address) {
    if (address.trimmed().isEmpty()) {
        qWarning() << "URLLink: no address to open";
        return false;
    }
    // An address that names its scheme must parse as it is; anything else is read the
    // way a user would type it (a host name, a file path).
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    const QUrl url = scheme.match(address).hasMatch()
                         ? QUrl(address, QUrl::TolerantMode)
                         : QUrl::fromUserInput(address, QDir::currentPath(), QUrl::AssumeLocalFile);
    if (!url.isValid()) {
        const QString why = url.errorString();
        throw OpenAddressError(why.isEmpty() ? QStringLiteral("Invalid address") : why,
                               kInvalidAddressError);
    }
    const bool opened = QDesktopServices::openUrl(url);
    if (!opened) qWarning() << "URLLink: the desktop could not open" << url;
    return opened;
}

QString URLLink::unableToLoadMessage(const QString& address, const QString& description,
                                     int number) {
    return QStringLiteral("Unable to load '") + address + QStringLiteral("' : ") + description +
           QStringLiteral(" (Error ") + QString::number(number) + QStringLiteral(")");
}

bool URLLink::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblURL && event->type() == QEvent::MouseButtonPress) {
        try {
            lblURL_MouseDown(static_cast<QMouseEvent*>(event)->button());
        } catch (const std::exception& e) {
            qWarning() << "URLLink: click on" << url_ << "failed:" << e.what();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void URLLink::initialise() {
    setText(QString());
    url_.clear();
    setShowToolTip(false);
}

void URLLink::UpdateToolTip() {
    lblURL->setToolTip(showToolTip_ ? url_ : QString());
}

void URLLink::lblURL_MouseDown(Qt::MouseButton button) {
    if (button != Qt::LeftButton) return;  // only the left button opens
    QString address = url_;
    bool cancel = false;
    emit GoToURL(address, cancel);
    if (cancel) return;
    openAddress(address);
}

void URLLink::openAddress(const QString& address) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    bool failed = true;
    QString failure;
    int number = kInvalidAddressError;
    try {
        opener_(address);
        failed = false;
    } catch (const OpenAddressError& e) {
        failure = e.description();
        number = e.number();
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failure = QStringLiteral("Unknown error");
    }
    // Back to the default pointer before any message, so the box is not shown busy.
    QGuiApplication::restoreOverrideCursor();
    if (!failed) return;
    qWarning() << "URLLink: opening" << address << "failed:" << failure;
    QMessageBox::critical(this, QGuiApplication::applicationDisplayName(),
                          unableToLoadMessage(address, failure, number), QMessageBox::Ok);
}

}  // namespace kest
