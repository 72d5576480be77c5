#pragma once
// A one-line text that looks like a link and opens its address with the desktop's
// default handler when clicked with the left button. The main window and the help
// window use it for the maker's pages and the support mail link.

#include <QLabel>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <QWidget>
#include <functional>
#include <stdexcept>

namespace kest {

// What an opener throws when it cannot open an address at all; the label turns it
// into its one message box. A handler that merely reports failure returns false.
class OpenAddressError : public std::runtime_error {
  public:
    OpenAddressError(const QString& description, int number)
        : std::runtime_error(description.toStdString()),
          description_(description),
          number_(number) {}
    const QString& description() const { return description_; }
    int number() const { return number_; }

  private:
    QString description_;
    int number_;
};

class URLLink : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Text READ text WRITE setText)
    Q_PROPERTY(QString URL READ url WRITE setUrl)
    Q_PROPERTY(bool ShowToolTip READ showToolTip WRITE setShowToolTip)

  public:
    // Opens an address; returns the desktop's own yes/no and throws OpenAddressError
    // when the address cannot even be handed over.
    using Opener = std::function<bool(const QString& address)>;

    explicit URLLink(QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);
    QString url() const { return url_; }
    void setUrl(const QString& url);
    bool showToolTip() const { return showToolTip_; }
    void setShowToolTip(bool show);

    // The stored properties "Text", "URL" and "ShowToolTip" of a layout.
    void readProperties(const QVariantMap& stored);
    QVariantMap writeProperties() const;

    // Replaces the desktop opener (tests, other platforms).
    void setOpener(Opener opener) { opener_ = std::move(opener); }
    static bool openWithDesktop(const QString& address);
    static QString unableToLoadMessage(const QString& address, const QString& description,
                                       int number);

    QSize sizeHint() const override;

    QLabel* lblURL;

  signals:
    // Raised before an address is opened: a handler may change the address or cancel.
    void GoToURL(QString& url, bool& cancel);
    // The hosting layout's stored properties need writing.
    void propertyChanged(const QString& name);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void fitLabel();
    void initialise();
    void UpdateToolTip();
    void lblURL_MouseDown(Qt::MouseButton button);
    void openAddress(const QString& address);

    QString text_;
    QString url_;
    bool showToolTip_ = false;
    Opener opener_;
};

}  // namespace kest
