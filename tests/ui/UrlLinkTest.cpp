#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

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

TEST_F(URLLinkTest, NewInstanceIsEmptyWithoutTooltip) {
    EXPECT_EQ(link->text(), "");
    EXPECT_EQ(link->lblURL->text(), "");
    EXPECT_EQ(link->url(), "");
    EXPECT_FALSE(link->showToolTip());
    EXPECT_EQ(link->lblURL->toolTip(), "");
    EXPECT_TRUE(link->lblURL->font().underline());
    EXPECT_EQ(link->lblURL->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(URLLinkTest, TextMovesLabelToCornerAndSizesItToTheText) {
    link->lblURL->move(40, 7);
    link->setText("https://kest-redirect.example.org");
    EXPECT_EQ(link->lblURL->text(), "https://kest-redirect.example.org");
    EXPECT_EQ(link->lblURL->pos(), QPoint(0, 0));
    const QSize expected = QFontMetrics(link->font()).size(Qt::TextSingleLine, link->text());
    EXPECT_EQ(link->lblURL->size(), expected);
    link->setText("x");
    EXPECT_LT(link->lblURL->width(), expected.width());
    EXPECT_EQ(link->property("Text").toString(), "x");
}

TEST_F(URLLinkTest, TooltipFollowsAddressOnlyWhenShown) {
    link->setUrl("https://a.example");
    EXPECT_EQ(link->lblURL->toolTip(), "");
    link->setShowToolTip(true);
    EXPECT_EQ(link->lblURL->toolTip(), "https://a.example");
    link->setUrl("mailto:x@y.example");
    EXPECT_EQ(link->lblURL->toolTip(), "mailto:x@y.example");
    link->setUrl("");
    EXPECT_EQ(link->lblURL->toolTip(), "");
    link->setUrl("https://b.example");
    link->setShowToolTip(false);
    EXPECT_EQ(link->lblURL->toolTip(), "");
}

TEST_F(URLLinkTest, SettersReportTheChangedProperty) {
    QSignalSpy spy(link.get(), &URLLink::propertyChanged);
    link->setText("t");
    link->setUrl("u");
    link->setShowToolTip(true);
    ASSERT_EQ(spy.count(), 3);
    EXPECT_EQ(spy.at(0).at(0).toString(), "Text");
    EXPECT_EQ(spy.at(1).at(0).toString(), "URL");
    EXPECT_EQ(spy.at(2).at(0).toString(), "ShowToolTip");
}

TEST_F(URLLinkTest, LeftClickRaisesGoToURLThenOpensWithWaitCursor) {
    link->setText("link");
    link->setUrl("https://kest-redirect.example.org");
    QStringList raised;
    QObject::connect(link.get(), &URLLink::GoToURL, [&](QString& url, bool& cancel) {
        raised << url;
        EXPECT_FALSE(cancel);
    });
    QTest::mouseClick(link->lblURL, Qt::LeftButton);
    EXPECT_EQ(raised, QStringList{"https://kest-redirect.example.org"});
    EXPECT_EQ(opened, QStringList{"https://kest-redirect.example.org"});
    EXPECT_EQ(cursorWhileOpening, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(URLLinkTest, HandlerMayChangeTheAddressOrCancel) {
    link->setText("link");
    link->setUrl("https://first.example");
    bool cancelNext = false;
    QObject::connect(link.get(), &URLLink::GoToURL, [&](QString& url, bool& cancel) {
        url = "https://changed.example";
        cancel = cancelNext;
    });
    QTest::mouseClick(link->lblURL, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{"https://changed.example"});
    EXPECT_EQ(link->url(), "https://first.example");  // only the copy changed

    cancelNext = true;
    QTest::mouseClick(link->lblURL, Qt::LeftButton);
    EXPECT_EQ(opened.size(), 1);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(URLLinkTest, RightAndMiddleClicksOpenNothing) {
    link->setText("link");
    link->setUrl("https://a.example");
    int raised = 0;
    QObject::connect(link.get(), &URLLink::GoToURL, [&](QString&, bool&) { ++raised; });
    QTest::mouseClick(link->lblURL, Qt::RightButton);
    QTest::mouseClick(link->lblURL, Qt::MiddleButton);
    EXPECT_EQ(raised, 0);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(URLLinkTest, OpeningErrorShowsTheOneMessageAndResetsThePointer) {
    link->setText("link");
    link->setUrl("https://broken.example");
    link->setOpener([](const QString&) -> bool { throw OpenAddressError("File not found", 53); });
    QString message;
    int buttons = 0;
    test::whenModalOpens([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        message = box->text();
        buttons = int(box->buttons().size());
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    });
    QTest::mouseClick(link->lblURL, Qt::LeftButton);
    EXPECT_EQ(message, "Unable to load 'https://broken.example' : File not found (Error 53)");
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(URLLinkTest, MessageUsesTheAddressAsTheHandlerLeftIt) {
    link->setText("link");
    link->setUrl("https://a.example");
    QObject::connect(link.get(), &URLLink::GoToURL, [](QString& url, bool&) { url = "bad://x"; });
    link->setOpener([](const QString&) -> bool { throw std::runtime_error("boom"); });
    QString message;
    test::whenModalOpens([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) message = box->text();
    });
    QTest::mouseClick(link->lblURL, Qt::LeftButton);
    EXPECT_EQ(message, "Unable to load 'bad://x' : boom (Error 5)");
}

TEST(URLLinkDesktop, OpensThroughDesktopServices) {
    test::offscreenApp();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("kesttest", &catcher, "open");
    EXPECT_TRUE(URLLink::openWithDesktop("kesttest://kest-redirect.example.org/page"));
    QDesktopServices::unsetUrlHandler("kesttest");
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened.first(), QUrl("kesttest://kest-redirect.example.org/page"));
}

TEST(URLLinkDesktop, MailLinksWithSpacesOpen) {
    test::offscreenApp();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");
    const bool opened = URLLink::openWithDesktop(
        "mailto:support@kest-redirect.example.org?subject=Request Support :Kest Redirect   "
        "V1.2N_A&body=Your Question:    ");
    QDesktopServices::unsetUrlHandler("mailto");
    EXPECT_TRUE(opened);
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened.first().path(), "support@kest-redirect.example.org");
}

TEST(URLLinkDesktop, EmptyAddressFailsQuietlyAndBrokenAddressThrows) {
    test::offscreenApp();
    EXPECT_FALSE(URLLink::openWithDesktop(""));
    EXPECT_FALSE(URLLink::openWithDesktop("   "));
    try {
        URLLink::openWithDesktop("http://[::1");
        ADD_FAILURE() << "a broken address must raise an error";
    } catch (const OpenAddressError& e) {
        EXPECT_EQ(e.number(), 5);
        EXPECT_FALSE(e.description().isEmpty());
    }
}

TEST(URLLinkStored, PropertiesRoundTripWithDefaults) {
    test::offscreenApp();
    URLLink source;
    source.setText("Support");
    source.setUrl("mailto:support@kest-redirect.example.org");
    source.setShowToolTip(true);
    URLLink copy;
    copy.readProperties(source.writeProperties());
    EXPECT_EQ(copy.text(), "Support");
    EXPECT_EQ(copy.url(), "mailto:support@kest-redirect.example.org");
    EXPECT_TRUE(copy.showToolTip());
    EXPECT_EQ(copy.lblURL->toolTip(), "mailto:support@kest-redirect.example.org");

    copy.readProperties({});
    EXPECT_EQ(copy.text(), "");
    EXPECT_EQ(copy.url(), "");
    EXPECT_FALSE(copy.showToolTip());
}

TEST(URLLinkStored, UnreadableValueResetsAndReadingGoesOn) {
    test::offscreenApp();
    URLLink link;
    link.readProperties(
        {{"Text", QVariantList{1, 2}}, {"URL", "https://a.example"}, {"ShowToolTip", "maybe"}});
    // Text unreadable: reset, URL read; then ShowToolTip unreadable: reset again.
    EXPECT_EQ(link.text(), "");
    EXPECT_EQ(link.url(), "");
    EXPECT_FALSE(link.showToolTip());

    link.readProperties({{"Text", QVariantList{}}, {"URL", "u"}, {"ShowToolTip", "True"}});
    EXPECT_EQ(link.url(), "u");
    EXPECT_TRUE(link.showToolTip());
    EXPECT_EQ(link.lblURL->toolTip(), "u");
}

}  // namespace
}  // namespace kest

#include "UrlLinkTest.moc"
