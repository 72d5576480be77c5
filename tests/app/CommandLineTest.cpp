// What a command line asks for, and start at login turned on and off per instance.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

#include "app/CommandLine.h"
#include "channels/ChannelTestSupport.h"

namespace kest {
namespace {

using Action = CommandLine::Action;

// Options and the instance come in any order. Without an option the whole line is the
// program's (it reads the name itself), and a piece of the name may begin with "-".
// An option reads the name as a running copy does: trimmed, text around the
// marks ignored.
TEST(CommandLine, OptionsTheirInstanceAndWhatIsAnError) {
    struct Case {
        QStringList line;
        Action action;
        std::string suffix;
        bool on = false;
    };
    const Case cases[] = {
        {{"--help"}, Action::Help, ""},
        {{"/#A#", "--version"}, Action::Version, ""},
        {{"/#Scanner_001#", "--explain"}, Action::Explain, "_Scanner_001"},
        {{"/#B#", "--autostart", "off"}, Action::Autostart, "_B", false},
        {{"--autostart", "on", "/#Scanner_001#"}, Action::Autostart, "_Scanner_001", true},
        {{"--autostart", "off", "x", "/#  My Scanner  #"}, Action::Autostart, "_My Scanner"},
        {{"--autostart", "on"}, Action::Autostart, "", true},
        {{}, Action::Run, ""},
        {{"run", "/#B#", "more"}, Action::Run, ""},
        {{"/#My", "-Scanner#"}, Action::Run, ""},
    };
    for (const Case& c : cases) {
        const CommandLine line = parseCommandLine(c.line);
        const std::string shown = c.line.join(' ').toStdString();
        EXPECT_EQ(line.action, c.action) << shown;
        EXPECT_EQ(line.instanceSuffix.toStdString(), c.suffix) << shown;
        EXPECT_EQ(line.on, c.on) << shown;
        if (c.action == Action::Run) {
            EXPECT_EQ(line.arguments, c.line) << shown;
        }
    }
    for (const QStringList& wrong : {QStringList{"-h"},
                                     {"--bogus", "/#A#"},
                                     {"/#A#", "--HELP"},
                                     {"/#A#", "x", "-"},
                                     {"--help", "--version"},
                                     {"--autostart"},
                                     {"--autostart", "yes", "/#A#"},
                                     {"--autostart", "on", "Scanner_001"},
                                     {"--autostart", "on", "/#Scanner"}}) {
        const CommandLine line = parseCommandLine(wrong);
        EXPECT_EQ(line.action, Action::Invalid) << wrong.join(' ').toStdString();
        EXPECT_FALSE(line.error.isEmpty());
    }
}

TEST(CommandLine, TheManualsSynopsisListsEveryOptionOfTheUsage) {
    QFile manual(KEST_MANUAL_SOURCE);
    ASSERT_TRUE(manual.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(manual.readAll());
    const QString synopsis = text.section(".SH SYNOPSIS", 1).section(".SH ", 0, 0);
    const QString usage = helpText().section("\n\n", 0, 0);
    static const QRegularExpression option("--[a-z]+");
    int options = 0;
    for (const auto& match : option.globalMatch(usage)) {
        ++options;
        const QString troff = QString(match.captured()).replace("-", "\\-");
        EXPECT_TRUE(synopsis.contains(troff)) << match.captured().toStdString();
    }
    EXPECT_EQ(options, 4);
}

class AutostartTest : public ::testing::Test {
  protected:
    // Runs the command line as the program would; what it printed lands in out/err.
    int run(const QStringList& arguments) {
        out.clear();
        err.clear();
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        return runCommandLineAction(parseCommandLine(arguments), kProgram, outStream, errStream);
    }
    static QString read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    static constexpr const char* kProgram = "/opt/kest redirect/Kest_Redirect_Serial_to_KB";
    test::ConfigHome home;
    QString out;
    QString err;
};

// On writes the instance's entry and no other, on again replaces it, off removes it and
// off once more says it was not on. Names may hold anything but "#": in the file name the
// unsafe bytes become %XX; in Exec the argument is quoted, with ", `, $ and \ escaped
// inside the quotes, the backslashes escaped again for the string value and "%"
// doubled. The unnamed copy starts with no instance argument.
TEST_F(AutostartTest, OnWritesTheEntryThatStartsThatInstanceOffRemovesIt) {
    const struct {
        QString name;
        QString file;
        QString exec;  // what follows the quoted program in Exec
    } cases[] = {
        {"", "kest-redirect.desktop", "\n"},
        {"/#Scanner_001#", "kest-redirect_Scanner_001.desktop", " \"/#Scanner_001#\"\n"},
        {"/#a/b \"c\" $d`e\\f%g#", "kest-redirect_a%2Fb%20%22c%22%20%24d%60e%5Cf%25g.desktop",
         " \"/#a/b \\\\\"c\\\\\" \\\\$d\\\\`e\\\\\\\\f%%g#\"\n"},
    };
    const QDir autostartDir(home.path() + "/autostart");
    for (const auto& c : cases) {
        const auto line = [&](const char* onOff) {
            return c.name.isEmpty() ? QStringList{"--autostart", onOff}
                                    : QStringList{"--autostart", onOff, c.name};
        };
        const QString entry = autostartDir.filePath(c.file);
        ASSERT_EQ(run(line("on")), 0) << err.toStdString();
        EXPECT_TRUE(out.contains(entry)) << out.toStdString();
        EXPECT_EQ(autostartDir.entryList(QDir::Files), QStringList{c.file});
        const QString text = read(entry);
        EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
        EXPECT_TRUE(text.contains("\nType=Application\n"));
        EXPECT_TRUE(text.contains("\nExec=\"" + QString(kProgram) + "\"" + c.exec))
            << text.toStdString();
        EXPECT_TRUE(text.contains("\nTryExec=" + QString(kProgram) + "\n"));
        ASSERT_EQ(run(line("on")), 0);
        EXPECT_EQ(read(entry), text);
        ASSERT_EQ(run(line("off")), 0);
        EXPECT_FALSE(QFileInfo::exists(entry));
        ASSERT_EQ(run(line("off")), 0);
        EXPECT_TRUE(out.contains("was not on"));
    }

    // A name that would break the entry's line is refused, and nothing is written.
    EXPECT_EQ(run({"--autostart", "on", "/#a\nb#"}), 1);
    EXPECT_TRUE(err.contains("control characters"));
    EXPECT_FALSE(QFileInfo::exists(home.path() + "/autostart/kest-redirect_a%0Ab.desktop"));
}

}  // namespace
}  // namespace kest
