#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ChannelTestSupport.h"
#include "platform/DosPaths.h"

namespace kest {
namespace {

using test::ConfigHome;

TEST(DosPaths, BaseDirectoryFollowsAbsoluteXdgConfigHomeElseHome) {
    ConfigHome home;
    EXPECT_EQ(dos::baseDirectory(), home.path() + "/kest-redirect");
    qputenv("XDG_CONFIG_HOME", "relative/dir");
    EXPECT_EQ(dos::baseDirectory(), QDir::homePath() + "/.config/kest-redirect");
    qputenv("XDG_CONFIG_HOME", "");
    EXPECT_EQ(dos::baseDirectory(), QDir::homePath() + "/.config/kest-redirect");
}

TEST(DosPaths, DrivesAreTheirLinksInDosdevicesAndCWithoutOneIsDriveCCreatedOnUse) {
    ConfigHome home;
    const QString b = home.base();
    QDir().mkpath(b + "/dosdevices");
    QDir().mkpath(home.path() + "/elsewhere");
    ASSERT_TRUE(QFile::link(home.path() + "/elsewhere", b + "/dosdevices/c:"));
    EXPECT_EQ(dos::nativePath("C:\\IN.TXT"), b + "/dosdevices/c:/IN.TXT");
    EXPECT_FALSE(QFileInfo::exists(b + "/drive_c"));
    // Other drives have no default: they are whatever the user linked, or nothing.
    EXPECT_EQ(dos::nativePath("D:\\x\\y"), b + "/dosdevices/d:/x/y");
    EXPECT_EQ(dos::nativePath("z:/q"), b + "/dosdevices/z:/q");

    ASSERT_TRUE(QFile::remove(b + "/dosdevices/c:"));
    EXPECT_EQ(dos::nativePath("C:\\TALVEN.CFG_X"), b + "/drive_c/TALVEN.CFG_X");
    EXPECT_TRUE(QFileInfo(b + "/drive_c").isDir());
    EXPECT_EQ(dos::nativePath("c:/FILE_IN.TXT"), b + "/drive_c/FILE_IN.TXT");
    EXPECT_EQ(dos::nativePath("C:\\a\\b/c.txt"), b + "/drive_c/a/b/c.txt");
    EXPECT_EQ(dos::nativePath("C:"), b + "/drive_c/");
}

TEST(DosPaths, NativeAndRelativePathsStayWhatTheyAre) {
    ConfigHome home;
    EXPECT_EQ(dos::nativePath("/var/data/in.txt"), "/var/data/in.txt");
    EXPECT_EQ(dos::nativePath("/odd\\name"), "/odd\\name");
    EXPECT_EQ(dos::nativePath("FILE.TXT"), "FILE.TXT");
    EXPECT_EQ(dos::nativePath("sub\\FILE.TXT"), "sub/FILE.TXT");
    EXPECT_FALSE(dos::isDosPath("1:\\x"));
    EXPECT_FALSE(dos::isDosPath("CC:\\x"));
    EXPECT_FALSE(dos::isDosPath("C:x"));
    EXPECT_TRUE(dos::isDosPath("C:"));
}

TEST(DosPaths, ComPortsAreTheirLinksInDosdevicesElseTheDefaultTable) {
    ConfigHome home;
    EXPECT_EQ(dos::comPortDevice(1), "/dev/ttyS0");
    EXPECT_EQ(dos::comPortDevice(32), "/dev/ttyS31");
    EXPECT_EQ(dos::comPortDevice(33), "/dev/ttyUSB0");
    EXPECT_EQ(dos::comPortDevice(64), "/dev/ttyUSB31");
    EXPECT_EQ(dos::comPortDevice(65), "/dev/ttyACM0");
    EXPECT_EQ(dos::comPortDevice(96), "/dev/ttyACM31");
    for (int n : {97, 255, 0, -1, 256, 1000}) {
        EXPECT_EQ(dos::comPortDevice(n), QString()) << n;
    }
    // A link wins over the table, even a dangling one (an unplugged adapter).
    const QString dev = home.base() + "/dosdevices";
    QDir().mkpath(dev);
    QFile target(home.path() + "/fake-tty");
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(target.fileName(), dev + "/com5"));
    ASSERT_TRUE(QFile::link(home.path() + "/unplugged", dev + "/com200"));
    EXPECT_EQ(dos::comPortDevice(5), target.fileName());
    EXPECT_EQ(dos::comPortDevice(200), home.path() + "/unplugged");
    EXPECT_EQ(dos::comPortDevice(6), "/dev/ttyS5");
    ASSERT_TRUE(QFile::link(target.fileName(), dev + "/com256"));
    EXPECT_EQ(dos::comPortDevice(256), QString());
}

}  // namespace
}  // namespace kest
