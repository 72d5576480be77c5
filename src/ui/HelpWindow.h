#pragma once
// The help window F_HELP: the general help (password codes, several instances) or the
// token reference (what the search, replace, prefix and suffix fields understand),
// rebuilt from AFF_HLP's tag at every opening.

#include <QDialog>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>

#include "ui/UrlLink.h"

namespace kest {

class F_HELP : public QDialog {
    Q_OBJECT

  public:
    enum Tag { kGeneralHelp = 0, kTokenReference = 1 };

    explicit F_HELP(QWidget* parent = nullptr);

    // Sets AFF_HLP's tag (0 general help, 1 token reference), rebuilds the text and
    // shows the window modally; returns when the user has closed it.
    static void open(QWidget* parent, int tag);

    // The text for a tag: each line followed by CR LF; empty for an unknown tag.
    static QString helpText(int tag);
    static QStringList generalHelpLines();
    static QStringList tokenReferenceLines();

    QString tag() const;
    void setTag(const QString& tag);
    // The load routine: empties AFF_HLP and rebuilds it from the tag's numeric value.
    void Form_Load();
    // The help text exactly as built, CR LF line ends included.
    QString text() const { return text_; }

    QPlainTextEdit* AFF_HLP;
    URLLink* URLLink1;
    URLLink* URLLink2;

  private:
    QString text_;
};

}  // namespace kest
