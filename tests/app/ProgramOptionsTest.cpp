// The built program answers --help, --version and --autostart without a display, a
// window or a log file, refuses an unknown option, and any command line without an
// option still starts the program.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "app/RunProgram.h"

namespace kest {
namespace {

using Result = ProgramResult;

class ProgramOptionsTest : public ::testing::Test {
  protected:
    // The program with no display of any kind and a configuration home of its own.
    Result run(const QStringList& arguments) { return runProgram(home.path(), arguments); }
    // What the program left in its configuration home.
    QStringList leftBehind() const {
        return QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }
    QTemporaryDir home;
};

TEST_F(ProgramOptionsTest, HelpTellsWhereEverythingIsAndTouchesNothing) {
    const Result help = run({"--help"});
    ASSERT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_EQ(help.err, "");
    const QString base = home.path() + "/kest-redirect";
    for (const QString& part :
         {QStringLiteral("/#INSTANCE_NAME#"), QStringLiteral("C:\\TALVEN.CFG_INSTANCE_NAME"),
          base + "/drive_c", QStringLiteral("COM33-64 /dev/ttyUSB0-31"), base + "/dosdevices/comN",
          base + "/kest-redirect.log", base + "/kest-redirect_INSTANCE_NAME.log",
          QStringLiteral("dialout"), home.path() + "/autostart/kest-redirect_INSTANCE_NAME.desktop",
          QStringLiteral("--autostart on|off"), QStringLiteral("--version"),
          QStringLiteral("--explain [/#INSTANCE_NAME#] < sample")})
        EXPECT_TRUE(help.out.contains(part)) << part.toStdString() << "\n"
                                             << help.out.toStdString();
    EXPECT_EQ(leftBehind(), QStringList{});
}

TEST_F(ProgramOptionsTest, VersionIsTheProjectVersion) {
    const Result version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Kest Redirect " KEST_VERSION "\n");
    EXPECT_EQ(version.err, "");
    EXPECT_EQ(leftBehind(), QStringList{});
}

TEST_F(ProgramOptionsTest, AutostartEntryStartsThisProgram) {
    const Result on = run({"--autostart", "on", "/#Scanner_001#"});
    ASSERT_EQ(on.exitCode, 0) << on.err.toStdString();
    QFile entry(home.path() + "/autostart/kest-redirect_Scanner_001.desktop");
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString program = QFileInfo(KEST_PROGRAM_PATH).absoluteFilePath();
    EXPECT_TRUE(
        entry.readAll().contains(("\nExec=\"" + program + "\" \"/#Scanner_001#\"\n").toUtf8()));
}

TEST_F(ProgramOptionsTest, AnUnknownOptionIsAUsageErrorAndStartsNothing) {
    for (const QStringList& wrong : {QStringList{"-h"}, QStringList{"/#Scanner_001#", "--bogus"}}) {
        const Result r = run(wrong);
        EXPECT_EQ(r.exitCode, 2) << wrong.join(' ').toStdString();
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(r.err.contains("unknown option")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("--help")) << r.err.toStdString();
    }
    // No window, no port, no log file: nothing was started.
    EXPECT_EQ(leftBehind(), QStringList{});

    // Without an option the program starts as the instance and, with no display here,
    // says so and ends with an error.
    const Result program = run({"run", "/#Scanner_001#", "more"});
    EXPECT_EQ(program.exitCode, 1);
    EXPECT_EQ(program.out, "");
    EXPECT_TRUE(program.err.contains("display")) << program.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(home.path() + "/kest-redirect/kest-redirect_Scanner_001.log"));
}

}  // namespace
}  // namespace kest
