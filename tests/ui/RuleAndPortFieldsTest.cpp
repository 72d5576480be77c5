// The fields whose input reaches files and devices: rule fields keep a rule on one
// line, the port field opens only the number the user meant, and red states say why.

#include <grp.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <QClipboard>
#include <QSerialPort>

#include "ui/WindowFixture.h"

namespace kest::testing {
namespace {

TEST_F(WindowTest, PastedLineBreaksBecomeTheirNotationAndTheRuleStillMatches) {
    QApplication::clipboard()->setText("12\r\n34");
    window->INP_INPUT->setText("<");
    window->INP_INPUT->end(false);
    window->INP_INPUT->paste();
    window->INP_INPUT->insert(">");  // the cursor stayed after the pasted text
    EXPECT_EQ(window->INP_INPUT->text(), "<12{ASCII:13}{ASCII:10}34>");
    window->INP_OUTPUT->setText("A\nB");  // as a paste leaves it

    // Each rule stays one line of each file, so the columns stay paired.
    window->B_ADD->click();
    window->INP_INPUT->setText("x\ny");  // as a paste leaves it
    window->INP_OUTPUT->setText("ok");
    window->B_ADD->click();
    QDir().mkpath(configDir());
    ASSERT_TRUE(window->B_SAVE_Click());
    EXPECT_EQ(readConfig("TOUCHE_INP.CFG"), "<12{ASCII:13}{ASCII:10}34>\r\nx{ASCII:10}y\r\n");
    EXPECT_EQ(readConfig("TOUCHE_OUT.CFG"), "A{ASCII:10}B\r\nok\r\n");
    // The rule means what was pasted, and the window's switches reach the pipeline.
    window->processData("x\ny");
    window->SW_UPPER->setChecked(true);
    window->processData("x\ny");
    EXPECT_EQ(keyboard.typedText(), "okOK");
}

class PortFieldTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        QObject::connect(window->COMM, &SerialChannel::portStateChanged, window.get(),
                         [this] { opened << window->COMM->component().commPort(); });
        window->INP_COMMPORT->setText("1");
        opened.clear();
    }
    void typeNumber(const QString& digits) {
        window->INP_COMMPORT->selectAll();
        QTest::keyClicks(window->INP_COMMPORT, digits);
    }

    QList<int> opened;
};

TEST_F(PortFieldTest, ATypedNumberOpensOnceItSettlesEnterLeavingOrALoadAtOnce) {
    typeNumber("33");
    EXPECT_TRUE(opened.isEmpty()) << "opened while typing: " << opened.size();
    EXPECT_TRUE(waitFor([&] { return !opened.isEmpty(); }));
    typeNumber("7");
    QTest::keyClick(window->INP_COMMPORT, Qt::Key_Return);
    EXPECT_EQ(opened, (QList<int>{33, 7}));
    typeNumber("12");
    emit window->INP_COMMPORT->editingFinished();  // what leaving the field sends
    EXPECT_EQ(opened, (QList<int>{33, 7, 12}));
    window->INP_COMMPORT->setText("5");  // the load, the start-up
    EXPECT_EQ(opened, (QList<int>{33, 7, 12, 5}));
    QTest::qWait(SerialFrame::kTypedPortSettleMs + 100);  // nothing more comes
    EXPECT_EQ(opened.size(), 4);
}

TEST_F(PortFieldTest, RedPortFieldSaysWhyInPlainWords) {
    linkCom(5, home.path() + "/no-such-device");
    const Pty held = openPty();
    QSerialPort other(held.device);  // another program holds the terminal open
    ASSERT_TRUE(other.open(QIODevice::ReadWrite)) << other.errorString().toStdString();
    linkCom(6, held.device);
    const std::pair<const char*, const char*> cases[] = {
        {"300", "COM port numbers go from 1 to 255"},
        {"5", "no such device"},
        {"6", "in use by another program"},
        {"COM3", "not open: type only the number: 3, not COM3"}};
    for (const auto& [number, why] : cases) {
        window->INP_COMMPORT->setText(number);
        EXPECT_EQ(shownColour(window->INP_COMMPORT), ROUGE()) << number;
        EXPECT_TRUE(window->INP_COMMPORT->toolTip().contains(why))
            << window->INP_COMMPORT->toolTip().toStdString();
    }
    other.close();
    window->INP_COMMPORT->setText("06");
    EXPECT_EQ(shownColour(window->INP_COMMPORT), VERT());
    EXPECT_EQ(window->INP_COMMPORT->toolTip(), "Serial RS232 COM Port number");
}

TEST_F(PortFieldTest, WrongSettingsRedTheSettingsFieldOnceTypedAndSayWhy) {
    window->INP_COM_CFG->selectAll();
    QTest::keyClicks(window->INP_COM_CFG, "9600,X,8,1");
    EXPECT_TRUE(opened.isEmpty()) << "reopened while typing: " << opened.size();
    QTest::keyClick(window->INP_COM_CFG, Qt::Key_Return);
    EXPECT_EQ(opened.size(), 1);
    EXPECT_EQ(shownColour(window->INP_COM_CFG), ROUGE());
    EXPECT_NE(shownColour(window->INP_COMMPORT), ROUGE());
    EXPECT_TRUE(
        window->INP_COM_CFG->toolTip().endsWith("wrong: parity \"X\" is not one of N, E, "
                                                "O, M or S"));
    EXPECT_TRUE(window->trouble().reason(Trouble::SerialPort).startsWith("COM port 1 not open:"));
    window->INP_COM_CFG->setText("9600,N,8,1");  // set from code: taken at once
    EXPECT_EQ(opened.size(), 2);
    EXPECT_EQ(window->INP_COM_CFG->toolTip(), "Bauds,Parity,DataBits,StopBit");
    EXPECT_NE(shownColour(window->INP_COM_CFG), ROUGE());
}

// Root opens a device whatever its mode; without these two capabilities it is refused
// like any user. Only the effective set loses them, so they come back at the end.
class WithoutFileAccessOverride {
  public:
    WithoutFileAccessOverride() {
        ok_ = syscall(SYS_capget, &header_, saved_) == 0;
        if (!ok_) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        ok_ = syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutFileAccessOverride() {
        if (ok_) syscall(SYS_capset, &header_, saved_);
    }

  private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2] = {};
    bool ok_ = false;
};

TEST_F(PortFieldTest, RefusedPortSaysWhichGroupToJoinAndToLogInAgain) {
    const Pty pty = openPty();
    // A device like a Debian serial port: read and write for its group only. Root
    // gives it to dialout (as udev does); a user keeps the terminal's own group.
    const group* dialout = getgrnam("dialout");
    if (geteuid() == 0 && dialout) {
        ASSERT_EQ(fchown(pty.slave, 0, dialout->gr_gid), 0);
    }
    ASSERT_EQ(fchmod(pty.slave, 0060), 0);
    struct stat info {};
    ASSERT_EQ(fstat(pty.slave, &info), 0);
    const group* owner = getgrgid(info.st_gid);
    ASSERT_NE(owner, nullptr);
    if (group_member(info.st_gid))
        GTEST_SKIP() << "this user is in the device's group " << owner->gr_name;
    linkCom(7, pty.device);
    {
        WithoutFileAccessOverride asAnyUser;
        window->INP_COMMPORT->setText("7");
    }
    EXPECT_EQ(shownColour(window->INP_COMMPORT), ROUGE());
    const QString tip = window->INP_COMMPORT->toolTip();
    EXPECT_TRUE(tip.contains(
        QStringLiteral("the device belongs to group %1, which you are not in").arg(owner->gr_name)))
        << tip.toStdString();
    EXPECT_TRUE(tip.contains("then log out and log in again")) << tip.toStdString();

    // When the group may not use the device either, joining it would not help.
    ASSERT_EQ(fchmod(pty.slave, 0), 0);
    {
        WithoutFileAccessOverride asAnyUser;
        window->INP_COMMPORT->setText("07");
    }
    EXPECT_EQ(shownColour(window->INP_COMMPORT), ROUGE());
    EXPECT_TRUE(window->INP_COMMPORT->toolTip().endsWith(
        QStringLiteral("permission denied: ask the administrator for read and write access to %1")
            .arg(pty.device)))
        << window->INP_COMMPORT->toolTip().toStdString();
}

TEST_F(WindowTest, ARuleThatCannotBeTypedIsAddedRedAndItsTextsShowAsNotTyped) {
    const QString why = "invalid key notation at position 2: unknown key name \"FOO\"";
    for (const auto& [search, replace] : {std::pair{"a", "[{FOO}]"}, std::pair{"b", "{TAB}"}}) {
        window->INP_INPUT->setText(search);
        window->INP_OUTPUT->setText(replace);
        window->B_ADD->click();
    }
    ASSERT_EQ(window->LST_TOUCHES[1]->count(), 2);
    const QListWidgetItem* bad = window->LST_TOUCHES[1]->item(0);
    EXPECT_EQ(bad->toolTip(), "not typed: " + why);
    EXPECT_EQ(bad->background().color(), ROUGE());
    EXPECT_TRUE(window->LST_TOUCHES[1]->item(1)->toolTip().isEmpty());

    window->processData("a");
    EXPECT_EQ(lastDebugLine(), "NOT TYPED (" + why + "): [{FOO}]");
    EXPECT_EQ(window->trouble().summary(), "texts not typed");
    window->processData("b");
    EXPECT_FALSE(window->trouble().any());
}

}  // namespace
}  // namespace kest::testing
