// The channels through the real program where only separate processes and a real
// disk show the fault: copies of the program watching one file, a large file that
// grows, and configuration texts longer than an edit field's default limit. Nothing
// may be lost and nothing typed twice.

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "e2e/ProgramHarness.h"

namespace kest::e2e {
namespace {

namespace fs = std::filesystem;

class ChannelDeliveryTest : public ProgramFixture {
  protected:
    std::string watched() const { return base() + "/drive_c/FILE_IN.TXT"; }

    // Waits for the text, then checks that nothing more comes for a while: a line
    // typed twice would arrive after the first one.
    void expectExactly(const XtermReceiver& xterm, const std::string& expected) {
        ASSERT_TRUE(xterm.waitForBytes(expected.size())) << xterm.received();
        std::this_thread::sleep_for(1500ms);
        EXPECT_EQ(xterm.received(), expected);
    }
};

TEST_F(ChannelDeliveryTest, TwoCopiesWatchingOneFileTypeEachVersionOnceAndARestartNothing) {
    XtermReceiver xterm(display, kReceiver);
    writeScannerConfig(1, scanner(kReceiver), "_A");
    writeScannerConfig(1, scanner(kReceiver), "_B");
    appendTo(watched(), "start\r\n");
    std::string expected = "<start>";
    {
        auto a = startProgram({"/#A#"});
        auto b = startProgram({"/#B#"});
        ASSERT_TRUE(waitForMainWindow("_A"));
        ASSERT_TRUE(waitForMainWindow("_B"));
        ASSERT_TRUE(xterm.waitForBytes(expected.size()));
        for (const char* line : {"one", "two", "three", "four", "six"}) {
            appendTo(watched(), std::string(line) + "\r\n");
            expected += "<" + std::string(line) + ">";
            std::this_thread::sleep_for(400ms);
        }
        expectExactly(xterm, expected);
    }
    // Both copies ended; a new one finds every version already typed.
    auto again = startProgram({"/#A#"});
    ASSERT_TRUE(waitForMainWindow("_A"));
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(xterm.received(), expected);
    appendTo(watched(), "after\r\n");
    expectExactly(xterm, expected + "<after>");
}

TEST_F(ChannelDeliveryTest, AGrowingLargeFileHasItsNewLinesTyped) {
    XtermReceiver xterm(display, kReceiver);
    writeScannerConfig(1);
    // 100 MB already typed in an earlier run: the previous copy holds all of it.
    {
        const std::string line = std::string(998, 'g') + "\r\n";
        std::string block;
        for (int i = 0; i < 1000; ++i) block += line;
        fs::create_directories(fs::path(watched()).parent_path());
        std::ofstream file(watched(), std::ios::binary);
        for (int i = 0; i < 100; ++i) file << block;
    }
    fs::copy_file(watched(), base() + "/drive_c/FILE_LST.TMP");
    std::atomic<bool> stop = false;
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            appendTo(watched(), "n" + std::to_string(i) + "\r\n");
            std::this_thread::sleep_for(20ms);
        }
    });
    auto program = startProgram({});
    const bool typed = xterm.waitForBytes(20, 40s);
    stop = true;
    writer.join();
    ASSERT_TRUE(typed) << "nothing typed from a growing file";
    EXPECT_EQ(xterm.received().substr(0, 20), "<n0><n1><n2><n3><n4>");
}

// A GENERAL.CFG written with Linux line ends, with texts longer than an edit field's
// default limit: the start-up save writes it back with CR LF, every text kept whole.
TEST_F(ChannelDeliveryTest, LfConfigurationFilesAndLongTextsAreSavedBackWithCrLf) {
    const std::string prefix(40000, 'p');
    const std::string target(33000, 't');
    const std::string lines[] = {".2",  "4800,E,7,1", " 0 ", prefix,     ">",    target, " 1 ",
                                 " 0 ", "None",       " 0 ", "10.1.2.3", "4321", "False"};
    std::string lf, crLf;
    for (const std::string& line : lines) {
        lf += line + "\n";
        crLf += line + "\r\n";
    }
    writeConfig("TOUCHE_OUT.CFG", "");  // not a first start: no help window
    writeConfig("GENERAL.CFG", lf);
    auto program = startProgram({});
    ASSERT_TRUE(waitForMainWindow());
    EXPECT_TRUE(waitUntil([&] { return configFiles()["GENERAL.CFG"] == crLf; }, 20s))
        << configFiles()["GENERAL.CFG"].substr(0, 200);
}

}  // namespace
}  // namespace kest::e2e
