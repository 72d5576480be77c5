// The channel frames bound to their channels: what the user sees of each state.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "ui/Colours.h"
#include "ui/WindowFixture.h"
#include "ui/WindowWidgets.h"

namespace kest::testing {
namespace {

using TcpBinding = WindowTest;

TEST_F(TcpBinding, AddressChangeShowsDashesInButtonFace) {
    window->INP_IP_TCP->setText("10.1.2.3");
    EXPECT_EQ(window->AFF_TCP_STATUS->text(), "-----");
    EXPECT_EQ(shownColour(window->AFF_TCP_STATUS), buttonFaceColour());
}

TEST_F(TcpBinding, ResetActsInClientModeOnly) {
    QTest::mouseDClick(window->AFF_TCP_STATUS, Qt::LeftButton);
    EXPECT_EQ(window->AFF_TCP_STATUS->text(), "RESET");
    EXPECT_EQ(shownColour(window->AFF_TCP_STATUS), ROUGE());
    window->INP_IP_PORT->setText("0");
    window->SW_IP_CL_SE[1]->setChecked(true);
    EXPECT_FALSE(window->INP_IP_TCP->isEnabled());
    const QString before = window->AFF_TCP_STATUS->text();
    window->B_IP_RESET->click();
    EXPECT_EQ(window->AFF_TCP_STATUS->text(), before);
    window->SW_IP_CL_SE[0]->setChecked(true);
    EXPECT_TRUE(window->INP_IP_TCP->isEnabled());
    EXPECT_EQ(window->INP_IP_TCP->text(), "0.0.0.0");
    window->B_IP_RESET->click();
    EXPECT_EQ(window->AFF_TCP_STATUS->text(), "RESET");
}

using FileBinding = WindowTest;

TEST_F(FileBinding, PathDrivesTheToolTipsAndTheStatus) {
    window->INP_FILE_DIR->setText("   ");
    EXPECT_EQ(window->B_FILE_CHOSE->toolTip(), "   ");
    EXPECT_TRUE(waitFor([&] { return window->AFF_FILE_STATUS->text() == "-----"; }));
    window->INP_FILE_DIR->setText(home.path() + "/missing.txt");
    EXPECT_EQ(window->INP_FILE_DIR->toolTip(), home.path() + "/missing.txt");
    EXPECT_TRUE(waitFor([&] { return window->AFF_FILE_STATUS->text() == "Not Found"; }));
    QFile present(home.path() + "/present.txt");
    ASSERT_TRUE(present.open(QIODevice::WriteOnly));
    present.close();
    window->INP_FILE_DIR->setText(present.fileName());
    EXPECT_TRUE(waitFor([&] { return window->AFF_FILE_STATUS->text() == "Present"; }));
    EXPECT_EQ(shownColour(window->AFF_FILE_STATUS), VERT());
}

}  // namespace
}  // namespace kest::testing
