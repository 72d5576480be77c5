// The help window: the help the tag asks for, shown whole and line by line, read-only
// but still selectable, in a modal window of its own each time. And the hyperlink
// label it shows: sized to its text (shortened with an ellipsis where its box is too
// narrow), opened by the left button only, with a busy pointer while the desktop opens
// it and one message when it cannot.

#include <QDesktopServices>
#include <QMessageBox>
#include <QTextCursor>

#include "ui/HelpWindow.h"
#include "ui/OffscreenApp.h"
#include "ui/UrlLink.h"

namespace kest {
namespace {

// Receives the addresses that the desktop services hand to a registered scheme.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void open(const QUrl& url) { opened << url; }
};

class URLLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::offscreenApp();
        link = std::make_unique<URLLink>();
        link->resize(300, 20);
        link->show();
        link->setText("link");
        link->setUrl("https://kest-redirect.example.org");
        link->setOpener([this](const QString& address) {
            opened << address;
            const QCursor* pointer = QGuiApplication::overrideCursor();
            cursorWhileOpening = pointer ? pointer->shape() : Qt::ArrowCursor;
            return true;
        });
    }

    std::unique_ptr<URLLink> link;
    QStringList opened;
    Qt::CursorShape cursorWhileOpening = Qt::ArrowCursor;
};

TEST_F(URLLinkTest, TheLabelFitsItsTextOrEndsInAnEllipsisButTheTextStaysWhole) {
    const QString address = "support@kest-redirect.example.org";
    link->setText(address);
    EXPECT_EQ(link->lblURL->text(), address);
    EXPECT_EQ(link->lblURL->size(), link->fontMetrics().size(Qt::TextSingleLine, address));

    link->resize(60, 15);
    EXPECT_EQ(link->text(), address);
    EXPECT_TRUE(link->lblURL->text().endsWith(QChar(0x2026))) << link->lblURL->text().toStdString();
    link->setShowToolTip(true);  // the help window's links show where they lead
    EXPECT_EQ(link->lblURL->toolTip(), link->url());
    EXPECT_LE(link->lblURL->width(), 60);
}

TEST_F(URLLinkTest, OnlyTheLeftButtonOpensWithABusyPointerAndAFailureShowsOneMessage) {
    QTest::mouseClick(link->lblURL, Qt::RightButton);
    QTest::mouseClick(link->lblURL, Qt::MiddleButton);
    EXPECT_TRUE(opened.isEmpty());
    QTest::mouseClick(link->lblURL, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{"https://kest-redirect.example.org"});
    EXPECT_EQ(cursorWhileOpening, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // A failure shows the one message, with the normal pointer.
    link->setOpener([](const QString&) -> bool { throw OpenAddressError("File not found", 53); });
    QString message;
    test::whenModalOpens([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        message = box->text();
        EXPECT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    });
    QTest::mouseClick(link->lblURL, Qt::LeftButton);
    EXPECT_EQ(message,
              "Unable to load 'https://kest-redirect.example.org' : File not found (Error 53)");
}

TEST(URLLinkDesktop, AddressesAndMailLinksWithSpacesGoToTheDesktopBrokenOnesRaise) {
    test::offscreenApp();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");
    EXPECT_TRUE(URLLink::openWithDesktop(
        "mailto:support@kest-redirect.example.org?subject=Support :Kest   V1&body=Question:  "));
    QDesktopServices::unsetUrlHandler("mailto");
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0].path(), "support@kest-redirect.example.org");

    EXPECT_FALSE(URLLink::openWithDesktop("   "));
    try {
        URLLink::openWithDesktop("http://[::1");
        ADD_FAILURE() << "a broken address must raise an error";
    } catch (const OpenAddressError& e) {
        EXPECT_EQ(e.number(), 5);
    }
}

TEST(HelpWindowTest, EachTagLoadsItsOwnHelpWholeAndEmptiedFirst) {
    test::offscreenApp();
    test::ConfigHome home;
    // The general help names the access codes and where this copy logs; the token
    // reference the send-back macros.
    const QString general = F_HELP::helpText(F_HELP::kGeneralHelp);
    const QString tokens = F_HELP::helpText(F_HELP::kTokenReference);
    EXPECT_TRUE(general.contains("\r\n" + home.base() + "/kest-redirect_INSTANCE_NAME.log\r\n"));
    EXPECT_TRUE(general.contains("OPEN.THE.PANEL") && !general.contains("{TX_SERIAL"));
    EXPECT_TRUE(tokens.contains("{TX_SERIAL") && !tokens.contains("OPEN.THE.PANEL"));

    // The tag's numeric value picks the text; an empty tag counts as 0; any other
    // value shows nothing, and nothing of an earlier text stays.
    F_HELP help;
    const struct {
        const char* tag;
        QString text;
    } loads[] = {{"1", tokens}, {"", general}, {"7", ""}, {" 1 ", tokens}};
    for (const auto& load : loads) {
        help.setTag(load.tag);
        help.Form_Load();
        EXPECT_EQ(help.text(), load.text) << load.tag;
        // Shown one line per line: the closing CR LF leaves an empty last line.
        EXPECT_EQ(help.AFF_HLP->toPlainText(), QString(load.text).replace("\r\n", "\n"))
            << load.tag;
    }
}

// Read-only, yet the text can still be selected and copied; each opening is a modal
// window of its own that goes away when closed.
TEST(HelpWindowTest, TypingChangesNothingButSelectionWorksInANewModalWindowEachTime) {
    test::offscreenApp();
    test::ConfigHome home;
    QWidget owner;
    for (int tag : {1, 0}) {
        test::whenModalOpens([&](QWidget* window) {
            auto* help = qobject_cast<F_HELP*>(window);
            ASSERT_NE(help, nullptr);
            EXPECT_EQ(help->text(), F_HELP::helpText(tag));
            help->AFF_HLP->setFocus();
            const QString before = help->AFF_HLP->toPlainText();
            QTest::keyClicks(help->AFF_HLP, "abc");
            EXPECT_EQ(help->AFF_HLP->toPlainText(), before);
            QTest::keyClick(help->AFF_HLP, Qt::Key_A, Qt::ControlModifier);
            EXPECT_EQ(help->AFF_HLP->textCursor().selectedText().size(), before.size());
        });
        F_HELP::open(&owner, tag);
        EXPECT_EQ(owner.findChildren<F_HELP*>().size(), 0);
    }
}

}  // namespace
}  // namespace kest

#include "UrlLinkTest.moc"
