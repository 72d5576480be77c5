#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "config/ConfigFileSystem.h"
#include "config/ConfigStore.h"
#include "config/FakeConfigControls.h"
#include "engine/NumericValue.h"
#include "engine/Pipeline.h"
#include "support/FakeClock.h"
#include "support/RecordingPipelineHost.h"

namespace kest {
namespace {

namespace fs = std::filesystem;
using testing::FakeConfigControls;
using Text = ConfigControls::Text;
using Box = ConfigControls::Box;
using Rows = std::vector<std::string>;

class ConfigStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device rd;
        root = fs::temp_directory_path() / ("kest-config-" + std::to_string(rd()));
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    // C:\TALVEN.CFG<suffix> lies in root/<last part>.
    ConfigStore store(FakeConfigControls& controls, ConfigFileSystem& files) {
        return ConfigStore(controls, files, [this](const std::string& dos) {
            return root / dos.substr(dos.find('\\') + 1);
        });
    }
    fs::path dir(const std::string& suffix = "") { return root / ("TALVEN.CFG" + suffix); }

    void write(const std::string& name, const std::string& bytes) {
        fs::create_directories(dir());
        std::ofstream(dir() / name, std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) {
        std::ifstream in(dir() / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path root;
    StdConfigFileSystem files;
};

TEST_F(ConfigStoreTest, SaveWritesEveryFileByteExactAndLeavesNothingElse) {
    FakeConfigControls initial;
    initial.texts[Text::CommPort] = "1";
    FakeConfigControls every = initial;
    every.search = {" a ", "", "{ASCII:13}"};
    every.replace = {"b{ENTER}", " "};  // a replacement short of its row is written empty
    every.remove = {"13", "10"};
    every.texts[Text::CommPort] = "3";
    every.texts[Text::Prefix] = " pre";
    every.texts[Text::IpTcp] = " 10.0.0.5 ";
    every.texts[Text::IpPort] = " \t2000 ";  // spaces are trimmed, tabs not
    every.texts[Text::FileDir] = "D:\\Scans\\caf\xE9 in.txt";
    every.boxes[Box::Upper] = 1;
    every.boxes[Box::Rts] = 2;
    every.server = true;
    const std::map<std::string, std::string> initialFiles = {
        {"TOUCHE_INP.CFG", ""},
        {"TOUCHE_OUT.CFG", ""},
        {"TOUCHE_REM.CFG", "1\r\n"},
        {"GENERAL.CFG",
         ".2\r\n9600,N,8,1\r\n 0 \r\n\r\n\r\n\r\n 1 \r\n 1 \r\nNone\r\n 0 \r\n0.0.0.0\r\n1024\r\n"
         "False\r\n"},
        {"FILE_INP.CFG", "C:\\FILE_IN.TXT\r\n"}};
    const std::map<std::string, std::string> everyFiles = {
        {"TOUCHE_INP.CFG", " a \r\n\r\n{ASCII:13}\r\n"},
        {"TOUCHE_OUT.CFG", "b{ENTER}\r\n \r\n\r\n"},
        {"TOUCHE_REM.CFG", "3\r\n13\r\n10\r\n"},
        {"GENERAL.CFG",
         ".2\r\n9600,N,8,1\r\n 0 \r\n pre\r\n\r\n\r\n 2 \r\n 1 \r\nNone\r\n 1 \r\n10.0.0.5\r\n"
         "\t2000\r\nTrue\r\n"},
        {"FILE_INP.CFG", "D:\\Scans\\caf\xE9 in.txt\r\n"}};
    fs::create_directories(dir());
    for (auto [controls, expected] :
         {std::pair{&initial, &initialFiles}, std::pair{&every, &everyFiles}}) {
        store(*controls, files).B_SAVE_Click();
        std::map<std::string, std::string> saved;
        for (const auto& entry : fs::directory_iterator(dir()))
            saved[entry.path().filename().string()] = read(entry.path().filename().string());
        EXPECT_EQ(saved, *expected);
    }
}

// The instance's files lie in a directory of its own, which the next start reads.
TEST_F(ConfigStoreTest, RoundTripKeepsEveryValueOfTheInstanceAndLoadsTheWatchedFileLast) {
    FakeConfigControls first;
    first.suffix = "_Scanner_001";
    first.search = {"  lead", "trail  ", "", "x"};
    first.replace = {"1", "", "  ", "{TX_TCP[ok]}"};
    first.remove = {"0", "255"};
    first.texts[Text::CommPort] = "12";
    first.texts[Text::Suffix] = "{TAB}";
    first.texts[Text::FileDir] = "D:\\Scans\\caf\xE9 in.txt";
    first.boxes[Box::ApiKb] = 1;
    fs::create_directories(dir("_Scanner_001"));
    store(first, files).B_SAVE_Click();
    EXPECT_FALSE(fs::exists(dir() / "GENERAL.CFG"));

    FakeConfigControls second;
    second.suffix = first.suffix;
    store(second, files).LOAD_CFG();
    EXPECT_EQ(second.search, first.search);
    EXPECT_EQ(second.replace, first.replace);
    EXPECT_EQ(second.remove, first.remove);
    EXPECT_EQ(second.texts, first.texts);
    EXPECT_EQ(second.boxes, first.boxes);
    EXPECT_FALSE(second.server);
    // The watched file's path comes after the handshaking's refresh.
    EXPECT_EQ(second.events.back(), "text9:D:\\Scans\\caf\xE9 in.txt");
    EXPECT_EQ(second.events.end()[-2], "handshaking");
}

// Files as a user's editor leaves them, each value in the order its handler applies
// it (setting a control runs the handler, so the order matters).
TEST_F(ConfigStoreTest, HandWrittenFilesLoadInTheOrderOfTheirHandlers) {
    write("TOUCHE_INP.CFG", "5\r\n a \r\n\r\n");
    write("TOUCHE_OUT.CFG", "5{ENTER}\r\nA\r\nlast");
    write("TOUCHE_REM.CFG", "7\r\n013\r\n 10 \r\n7.5\r\nabc\r\n");
    write("GENERAL.CFG",
          "9\r\n19200,E,7,1\r\n 1 \r\n<\r\n>\r\nNotepad\r\n 0 \r\n 0 \r\nrts\r\n 1 \r\n"
          " 10.0.0.5 \r\n 2000 \r\nTrue\r\n");
    FakeConfigControls controls;
    store(controls, files).LOAD_CFG();
    const Rows expected = {
        "search:5",         "replace:5{ENTER}", "search: a ", "replace:A",
        "search:",          "replace:last",     "text0:7",    "remove:13",
        "remove:10",        "remove:7.5",       "remove:0",   "text2:19200,E,7,1",
        "box0:1",           "text3:<",          "text4:>",    "text5:Notepad",
        "box1:0",           "box2:0",           "text6:rts",  "box3:1",
        "text7: 10.0.0.5 ", "text8: 2000 ",     "server",     "handshaking"};
    EXPECT_EQ(controls.events, expected);
    EXPECT_TRUE(controls.failures.empty());
}

// Missing, short and damaged files: what can be read applies, every other control
// keeps its value, and what was wrong is logged.
TEST_F(ConfigStoreTest, MissingShortAndDamagedFilesApplyWhatTheyCan) {
    const std::string general =
        ".2\r\n\r\n5\r\n\r\n\r\n\r\nx5\r\n 1 \r\nNone\r\n 0 \r\n0.0.0.0\r\n1024\r\n";
    struct Case {
        std::map<std::string, std::string> files;
        Rows events;
        bool failures;
    };
    const Case cases[] = {
        {{}, {"handshaking"}, false},
        {{{"TOUCHE_INP.CFG", "a\r\n"}, {"FILE_INP.CFG", ""}}, {"handshaking"}, false},
        {{{"TOUCHE_INP.CFG", "a\r\nb\r\nc\r\n"},
          {"TOUCHE_OUT.CFG", "A\r\n"},
          {"TOUCHE_REM.CFG", ""},
          {"GENERAL.CFG", ".5\r\n\r\n 1 \r\n"},
          {"FILE_INP.CFG", "\r\n"}},
         {"search:a", "replace:A", "search:b", "replace:", "search:c", "replace:", "box0:1",
          "handshaking", "text9:"},
         true},
        // '5' is no check-box state, 'x5' reads as 0; "False" changes the role not.
        {{{"GENERAL.CFG", general + "False\r\n"}},
         {"text3:", "text4:", "text5:", "box1:0", "box2:1", "text6:None", "box3:0", "text7:0.0.0.0",
          "text8:1024", "handshaking"},
         true},
        {{{"GENERAL.CFG", general + "maybe\r\n"}},
         {"text3:", "text4:", "text5:", "box1:0", "box2:1", "text6:None", "box3:0", "text7:0.0.0.0",
          "text8:1024", "handshaking"},
         true},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir());
        for (const auto& [name, bytes] : c.files) write(name, bytes);
        FakeConfigControls controls;
        controls.server = true;
        store(controls, files).LOAD_CFG();
        EXPECT_EQ(controls.events, c.events) << "case " << &c - cases;
        EXPECT_EQ(controls.failures.empty(), !c.failures) << "case " << &c - cases;
        EXPECT_TRUE(controls.server);
    }
}

// Fails one chosen operation: the n-th write or the n-th rename.
class FailingFileSystem : public StdConfigFileSystem {
  public:
    int failWrite = -1;
    int failRename = -1;
    std::string unreadable;  // the name of a file that cannot be read
    std::optional<std::string> readAll(const fs::path& file) override {
        if (file.filename() == unreadable) return std::nullopt;
        return StdConfigFileSystem::readAll(file);
    }
    void lockDirectory(const fs::path&) override {
        ++locks;
        ++held;
    }
    void unlockDirectory() override { --held; }
    void writeDurably(const fs::path& file, const std::string& bytes) override {
        if (writes++ == failWrite) {
            StdConfigFileSystem::writeDurably(file, bytes.substr(0, bytes.size() / 2));
            throw ConfigSaveError("disk full");
        }
        StdConfigFileSystem::writeDurably(file, bytes);
    }
    void replace(const fs::path& from, const fs::path& to) override {
        if (renames++ == failRename) throw ConfigSaveError("power lost");
        StdConfigFileSystem::replace(from, to);
    }
    int writes = 0;
    int renames = 0;
    int locks = 0;
    int held = 0;
};

class InterruptedSaveTest : public ConfigStoreTest, public ::testing::WithParamInterface<int> {};

TEST_P(InterruptedSaveTest, EveryFileStaysWholeOldOrNew) {
    FakeConfigControls oldControls;
    oldControls.search = {"old"};
    oldControls.replace = {"OLD"};
    oldControls.texts[Text::CommPort] = "1";
    fs::create_directories(dir());
    store(oldControls, files).B_SAVE_Click();
    std::map<std::string, std::string> before;
    for (const auto& [name, bytes] : ConfigStore::render(oldControls)) before[name] = read(name);

    FakeConfigControls newControls = oldControls;
    newControls.search = {"new", "rows"};
    newControls.replace = {"NEW", "ROWS"};
    newControls.texts[Text::CommPort] = "2";
    newControls.texts[Text::FileDir] = "C:\\NEW.TXT";
    std::map<std::string, std::string> after;
    for (const auto& [name, bytes] : ConfigStore::render(newControls)) after[name] = bytes;

    FailingFileSystem failing;
    const int step = GetParam();
    if (step < 5) {
        failing.failWrite = step;
    } else {
        failing.failRename = step - 5;
    }
    EXPECT_THROW(store(newControls, failing).B_SAVE_Click(), ConfigSaveError);
    EXPECT_EQ(failing.locks, 1);
    EXPECT_EQ(failing.held, 0) << "a failed save keeps the directory locked";
    for (const auto& [name, old] : before) {
        const std::string now = read(name);
        EXPECT_TRUE(now == old || now == after[name]) << name << " is half-written";
        if (step < 5) {
            EXPECT_EQ(now, old) << name;
        }
    }
    if (step < 5) {
        for (const auto& entry : fs::directory_iterator(dir()))
            EXPECT_EQ(entry.path().extension(), ".CFG") << "left behind: " << entry.path();
    }
}

INSTANTIATE_TEST_SUITE_P(AtEachStep, InterruptedSaveTest, ::testing::Range(0, 10));

TEST_F(ConfigStoreTest, ATableFileThatCannotBeReadLeavesTheTableAloneAndIsLogged) {
    write("TOUCHE_INP.CFG", "a\r\n");
    write("TOUCHE_OUT.CFG", "A\r\n");
    for (const char* name : {"TOUCHE_INP.CFG", "TOUCHE_OUT.CFG"}) {
        FailingFileSystem failing;
        failing.unreadable = name;
        FakeConfigControls controls;
        store(controls, failing).LOAD_CFG();
        EXPECT_EQ(controls.events, Rows{"handshaking"}) << name;
        EXPECT_EQ(controls.failures.size(), 1u) << name;
    }
}

TEST_F(ConfigStoreTest, SaveIntoAMissingDirectoryFails) {
    FakeConfigControls controls;
    EXPECT_THROW(store(controls, files).B_SAVE_Click(), ConfigSaveError);
}

// A value beyond a double used to come back as the row "inf", which reads as 0: the
// pipeline then removed NUL from every text, and the next save wrote "0".
TEST_F(ConfigStoreTest, RemoveRowsBeyondADoubleKeepRemovingNothingAcrossSaves) {
    write(kRemoveFile, "3\r\n1e999\r\n-1e999\r\n13\r\n");
    FakeConfigControls loaded;
    store(loaded, files).LOAD_CFG();
    ASSERT_EQ(loaded.remove.size(), 3u);
    EXPECT_EQ(numericValue(loaded.remove[0]), HUGE_VAL) << loaded.remove[0];
    EXPECT_EQ(numericValue(loaded.remove[1]), -HUGE_VAL) << loaded.remove[1];
    EXPECT_EQ(loaded.remove[2], "13");

    auto removedBy = [](const Rows& rows) {
        test::RecordingPipelineHost host;
        test::FakeClock clock;
        host.removeEntries = rows;
        host.delay = "0";
        Pipeline pipeline(host, clock);
        std::string text("a\0b\rc", 5);
        pipeline.PROCESS_DATA(text);
        return host.keys();
    };
    const std::vector<std::string> kept{std::string("a\0bc", 4)};
    EXPECT_EQ(removedBy(loaded.remove), kept);

    store(loaded, files).B_SAVE_Click();
    const std::string saved = read(kRemoveFile);
    FakeConfigControls again;
    store(again, files).LOAD_CFG();
    EXPECT_EQ(again.remove, loaded.remove);
    EXPECT_EQ(removedBy(again.remove), kept);
    store(again, files).B_SAVE_Click();
    EXPECT_EQ(read(kRemoveFile), saved);
}

}  // namespace
}  // namespace kest
