// The built program as a command-line tool: its options answered without a display, a
// window or a log file, --explain printing the instance's saved rules applied to a sample
// on standard input, and any command line without an option still starting the program.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace kest {
namespace {

struct Result {
    int exitCode = -1;  // -1: it crashed or did not end within a minute
    QString out;
    QString err;
};

class ProgramTest : public ::testing::Test {
  protected:
    // The program with no display of any kind, a configuration home of its own, and
    // whatever standard input the test gives it.
    Result run(const QStringList& arguments, const QByteArray& input = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(display);
        environment.insert("XDG_CONFIG_HOME", home.path());
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(KEST_PROGRAM_PATH, arguments);
        program.write(input);
        program.closeWriteChannel();
        Result result;
        if (!program.waitForFinished(60000)) {
            program.kill();
            program.waitForFinished();
            return result;
        }
        result.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        result.out = QString::fromUtf8(program.readAllStandardOutput());
        result.err = QString::fromUtf8(program.readAllStandardError());
        return result;
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

// Each option's exit status, its text on the right stream, and nothing left behind: an
// option that started the program would leave its log file.
TEST_F(ProgramTest, OptionsAnswerWithoutADisplayAndStartNothing) {
    const QString base = home.path() + "/kest-redirect";
    struct Case {
        QStringList line;
        int exitCode;
        QStringList out;  // parts of standard output; none: it stays empty
        QStringList err;  // parts of standard error; none: it stays empty
    };
    const Case cases[] = {
        // The paths in the help are this user's own.
        {{"--help"},
         0,
         {base + "/drive_c", base + "/dosdevices/comN", base + "/kest-redirect.log",
          home.path() + "/autostart/kest-redirect_INSTANCE_NAME.desktop"},
         {}},
        {{"--version"}, 0, {"Kest Redirect " KEST_VERSION "\n"}, {}},
        {{"/#Scanner_001#", "--bogus"}, 2, {}, {"unknown option", "--help"}},
    };
    for (const Case& c : cases) {
        const Result r = run(c.line);
        SCOPED_TRACE(c.line.join(' ').toStdString() + "\nout: " + r.out.toStdString() +
                     "\nerr: " + r.err.toStdString());
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.out.isEmpty(), c.out.isEmpty());
        EXPECT_EQ(r.err.isEmpty(), c.err.isEmpty());
        for (const QString& part : c.out) EXPECT_TRUE(r.out.contains(part)) << part.toStdString();
        for (const QString& part : c.err) EXPECT_TRUE(r.err.contains(part)) << part.toStdString();
    }
    EXPECT_EQ(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});

    // The entry starts this very program, wherever it lies.
    ASSERT_EQ(run({"--autostart", "on", "/#Scanner_001#"}).exitCode, 0);
    QFile entry(home.path() + "/autostart/kest-redirect_Scanner_001.desktop");
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString program = QFileInfo(KEST_PROGRAM_PATH).absoluteFilePath();
    EXPECT_TRUE(
        entry.readAll().contains(("\nExec=\"" + program + "\" \"/#Scanner_001#\"\n").toUtf8()));

    // Without an option the program starts as the instance and, with no display here,
    // says so and ends with an error, also in the instance's log: a copy started with no
    // terminal (from a menu, or any copy on Windows) has only the log to tell why.
    const Result started = run({"run", "/#Scanner_001#", "more"});
    EXPECT_EQ(started.exitCode, 1);
    EXPECT_EQ(started.out, "");
    EXPECT_TRUE(started.err.contains("display")) << started.err.toStdString();
    QFile log(base + "/kest-redirect_Scanner_001.log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray logged = log.readAll();
    EXPECT_TRUE(logged.contains("error: ") && logged.contains("display")) << logged.constData();
}

TEST_F(ProgramTest, SavedRulesAreAppliedToTheSampleStepByStepWithNothingTyped) {
    writeScanner("_Scan", " 1 ");
    // The instance argument before the option: explained all the same.
    const Result r = run({"/#Scan#", "--explain"}, "ab5\r{TX_TCP[ok]}^c");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, "");
    // How each step reads is the dry run's own test; here, that every saved file and
    // setting reached it: the remove list, the rule, prefix and suffix, U.Case (saved on),
    // the pause and the server role (the send-back would go to the accepted peer).
    const QStringList expected = {
        "Configuration: " + configDir("_Scan"),
        "Send-back over TCP: \"ok\" over the TCP server (taken as open)",
        "Piece 1 \"ab5~\" after a pause of 0.2 s",
        "Typed in all: \"[AB5{ASCII:13}{ASCII:3}]\"",
    };
    for (const QString& line : expected)
        EXPECT_TRUE(r.out.split('\n').contains(line)) << line.toStdString() << "\nin\n"
                                                      << r.out.toStdString();
    // Reading a configuration writes none and creates nothing.
    EXPECT_EQ(QDir(configDir("_Scan")).entryList(QDir::Files).size(), 4);
}

// A missing or unreadable configuration (a directory where a file should be: unreadable
// even for root, who reads any file), an argument that is no instance and an overlong
// sample each end with a message that says which, and print nothing.
TEST_F(ProgramTest, WhatCannotBeExplainedIsAnErrorThatSaysWhy) {
    writeScanner("");
    writeScanner("_Broken");
    QFile::remove(configDir("_Broken") + "/TOUCHE_OUT.CFG");
    ASSERT_TRUE(QDir().mkpath(configDir("_Broken") + "/TOUCHE_OUT.CFG"));
    const struct {
        QStringList line;
        QByteArray sample;
        int exitCode;
        QString message;
    } cases[] = {
        {{"--explain", "/#Nowhere#"},
         "1",
         1,
         "cannot read the configuration: " + configDir("_Nowhere") + " does not exist"},
        {{"--explain", "/#Broken#"},
         "1",
         1,
         "cannot read the configuration file " + configDir("_Broken") + "/TOUCHE_OUT.CFG"},
        {{"--explain", "Scan"}, "1", 2, "--explain"},
        {{"--explain"}, QByteArray(66000, 'a'), 2, "longer than 65536 bytes"},
    };
    for (const auto& c : cases) {
        const Result r = run(c.line, c.sample);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.line.join(' ').toStdString();
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    }
}

}  // namespace
}  // namespace kest
