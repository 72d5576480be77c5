// --explain runs the built program with no display: the instance's saved rules applied
// to a sample on standard input, printed step by step; a configuration that cannot be
// read is an error with a clear message.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/RunProgram.h"

namespace kest {
namespace {

using Result = ProgramResult;

class ExplainTest : public ::testing::Test {
  protected:
    Result explain(const QStringList& arguments, const QByteArray& sample) {
        return runProgram(home.path(), QStringList{"--explain"} + arguments, sample);
    }

    QString configDir(const QString& suffix) const {
        return home.path() + "/kest-redirect/drive_c/TALVEN.CFG" + suffix;
    }
    void write(const QString& suffix, const QString& name, const QByteArray& bytes) {
        QDir().mkpath(configDir(suffix));
        QFile file(configDir(suffix) + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    // A scanner's setup: CR removed, "5" becomes "5~", "^" rules, prefix and suffix.
    void writeScanner(const QString& suffix, const QByteArray& upper = " 0 ") {
        write(suffix, "TOUCHE_INP.CFG", "5\r\nx\r\n");
        write(suffix, "TOUCHE_OUT.CFG", "5~\r\n{BAD}\r\n");
        write(suffix, "TOUCHE_REM.CFG", "1\r\n13\r\n");
        write(suffix, "GENERAL.CFG",
              ".2\r\n9600,N,8,1\r\n 0 \r\n[\r\n]\r\n\r\n 1 \r\n 1 \r\nNone\r\n" + upper +
                  "\r\n0.0.0.0\r\n1024\r\nTrue\r\n");
    }

    QTemporaryDir home;
};

TEST_F(ExplainTest, SavedRulesAreAppliedToTheSampleStepByStepWithNothingTyped) {
    writeScanner("_Scan", " 1 ");
    // The instance argument before the option: explained all the same.
    const Result r = runProgram(home.path(), {"/#Scan#", "--explain"}, "ab5\r{TX_TCP[ok]}^c");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, "");
    const QStringList expected = {
        "Configuration: " + configDir("_Scan"),
        "Received: \"ab5{ASCII:13}{TX_TCP[ok]}^c\"",
        "After the remove list: \"ab5{TX_TCP[ok]}^c\"",
        "Rule 1 (\"5\" -> \"5~\") matched at position 3: \"ab5~{TX_TCP[ok]}^c\"",
        // The saved role is the server: the send-back would go to the accepted peer.
        "Send-back over TCP: \"ok\" over the TCP server (taken as open)",
        "Prefix \"[\"",
        // U.Case is saved on: letters go up after a Shift release.
        "Piece 1 \"ab5~\" after a pause of 0.2 s",
        "  keys: Shift up, 'A', 'B', '5', Enter",
        "Piece 2 \"^c\"",
        "  keys: Shift up, Ctrl down, 'C', Ctrl up",
        "Typed in all: \"[AB5{ASCII:13}{ASCII:3}]\"",
    };
    for (const QString& line : expected)
        EXPECT_TRUE(r.out.split('\n').contains(line)) << line.toStdString() << "\nin\n"
                                                      << r.out.toStdString();
    // Reading a configuration writes none and creates nothing.
    EXPECT_EQ(QDir(configDir("_Scan")).entryList(QDir::Files).size(), 4);
}

TEST_F(ExplainTest, AConfigurationThatCannotBeReadIsAnErrorThatSaysWhich) {
    Result r = explain({"/#Nowhere#"}, "1");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.contains("cannot read the configuration: " + configDir("_Nowhere") +
                               " does not exist"))
        << r.err.toStdString();

    writeScanner("_Broken");
    // A directory where a file should be: unreadable even for root, who reads any file.
    QFile::remove(configDir("_Broken") + "/TOUCHE_OUT.CFG");
    ASSERT_TRUE(QDir().mkpath(configDir("_Broken") + "/TOUCHE_OUT.CFG"));
    r = explain({"/#Broken#"}, "1");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.contains("cannot read the configuration file " + configDir("_Broken") +
                               "/TOUCHE_OUT.CFG"))
        << r.err.toStdString();
}

TEST_F(ExplainTest, BadArgumentsAndOverlongSamplesAreRefused) {
    writeScanner("");
    Result r = explain({"Scan"}, "1");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("--explain")) << r.err.toStdString();
    r = explain({}, QByteArray(66000, 'a'));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("longer than 65536 bytes")) << r.err.toStdString();
}

}  // namespace
}  // namespace kest
