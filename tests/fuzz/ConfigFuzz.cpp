// The configuration loader on any four files: the load never throws, the two columns
// of the rules pair up, and save -> load -> save writes identical bytes.

#include <cstdint>
#include <map>
#include <string>

#include "config/ConfigFileSystem.h"
#include "config/ConfigStore.h"
#include "config/FakeConfigControls.h"
#include "fuzz/FuzzCheck.h"

namespace {

// The four files in memory: a run per input must not touch the disk.
class MemoryFiles : public kest::ConfigFileSystem {
  public:
    bool exists(const std::filesystem::path& file) override { return files.count(file) > 0; }
    std::optional<std::string> readAll(const std::filesystem::path& file) override {
        auto it = files.find(file);
        if (it == files.end()) return std::nullopt;
        return it->second;
    }
    void writeDurably(const std::filesystem::path& file, const std::string& bytes) override {
        files[file] = bytes;
    }
    void replace(const std::filesystem::path& from, const std::filesystem::path& to) override {
        files[to] = files[from];
        files.erase(from);
    }
    void syncDirectory(const std::filesystem::path&) override {}
    void remove(const std::filesystem::path& file) override { files.erase(file); }

    std::map<std::filesystem::path, std::string> files;
};

const std::filesystem::path kDir = "/cfg";

std::map<std::filesystem::path, std::string> loadAndSave(MemoryFiles& files) {
    kest::testing::FakeConfigControls controls;
    kest::ConfigStore store(controls, files, [](const std::string&) { return kDir; });
    store.LOAD_CFG();  // a throw here escapes to libFuzzer, which reports it
    FUZZ_CHECK(controls.search.size() == controls.replace.size());
    store.B_SAVE_Click();
    return files.files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest = kest::fuzz::asText(data, size);
    MemoryFiles files;
    // Each part present or not, as files may be missing: a part that is exactly "-"
    // stands for a missing file.
    for (const char* name :
         {kest::kGeneralFile, kest::kSearchFile, kest::kReplaceFile, kest::kRemoveFile}) {
        const std::string_view part = kest::fuzz::cutAt(rest);
        if (part != "-") files.files[kDir / name] = std::string(part);
    }
    const auto first = loadAndSave(files);
    const auto second = loadAndSave(files);
    FUZZ_CHECK(first == second);
    return 0;
}
