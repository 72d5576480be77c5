// The rule tester's prediction is the truth: one saved configuration, with rules,
// character codes, a date, prefix and suffix, a caret, a group and both typing paths,
// is explained by the built program (--explain, the tester's dry run) and run for real
// into an xterm; both give the same characters.

#include <cstdio>
#include <fstream>

#include "e2e/ProgramHarness.h"
#include "engine/Pipeline.h"

namespace kest::e2e {
namespace {

class PredictionTest : public ProgramFixture {
  protected:
    // What --explain says the sample types, as bytes.
    std::string predicted(const std::string& sample) {
        const std::string samplePath = tmp.path() + "/sample";
        std::ofstream(samplePath, std::ios::binary) << sample;
        const std::string command = "XDG_CONFIG_HOME='" + display.env().at("XDG_CONFIG_HOME") +
                                    "' '" + KEST_PROGRAM_PATH + "' --explain < '" + samplePath +
                                    "'";
        int status = 0;
        const std::string out = commandOutput(command, &status);
        if (status != 0) ADD_FAILURE() << "--explain failed:\n" << out;
        explanation = out;
        const std::string mark = "Typed in all: \"";
        const std::size_t at = out.rfind(mark);
        if (at == std::string::npos) return "<no prediction>";
        std::string typed = out.substr(at + mark.size());
        typed = typed.substr(0, typed.rfind('"'));
        DECODE_ASCII(typed);  // the explanation writes control codes as {ASCII:n}
        return typed;
    }
    std::string explanation;
};

TEST_F(PredictionTest, TheExplainedCharactersAreTheOnesTypedIntoARealReceiver) {
    const std::vector<std::pair<std::string, std::string>> rules = {
        {"#1", "x{ASCII:66}y"},                                   // a character code
        {"#2", "+(ab)c"},                                         // a group under Shift
        {"#3", "{CURDATE:yyyy}"},                                 // a date
        {"#4", "1^k2"},                                           // a caret: a pause, then Ctrl+K
        {"#5", "{TAB}"},          {"#6", "{WinDesk}Hi {ENTER}"},  // the player from here on
    };
    const GeneralSettings settings{
        .prefix = "<", .suffix = "z", .targetWindow = kReceiver, .rtsAndDtr = true};
    writeConfigFiles(configDir(), makeConfig(rules, 1, {13}, settings));
    // The watched file hands each new line over with a carriage return.
    const std::string line = "#1 #2 #3 #4 #5 #6";
    const std::string expected = predicted(line + "\r");
    ASSERT_NE(expected.find("xBy ABc 20"), std::string::npos) << explanation;

    XtermReceiver xterm(display, kReceiver);
    auto program = startProgram({});
    ASSERT_TRUE(waitForMainWindow());
    appendTo(base() + "/drive_c/FILE_IN.TXT", line + "\r\n");
    ASSERT_TRUE(xterm.waitForBytes(expected.size(), std::chrono::seconds(40)))
        << "received so far: " << xterm.received() << "\nexplained:\n"
        << explanation;
    EXPECT_EQ(xterm.received(), expected) << explanation;
}

}  // namespace
}  // namespace kest::e2e
