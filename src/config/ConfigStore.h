#pragma once
// LOAD_CFG and B_SAVE_Click: the configuration files of an instance and the controls
// they mirror, one value per line. The four files that older copies and other tools
// read stay exactly as they were; the watched file's path, which they do not keep, has
// a file of its own beside them.

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "config/ConfigLines.h"

namespace kest {

class ConfigControls;
class ConfigFileSystem;

inline constexpr const char* kConfigRoot = "C:\\TALVEN.CFG";
inline constexpr const char* kGeneralFile = "GENERAL.CFG";
inline constexpr const char* kSearchFile = "TOUCHE_INP.CFG";
inline constexpr const char* kReplaceFile = "TOUCHE_OUT.CFG";
inline constexpr const char* kRemoveFile = "TOUCHE_REM.CFG";
// One line: the path in INP_FILE_DIR. Without it, the field keeps "C:\FILE_IN.TXT".
inline constexpr const char* kWatchedFileFile = "FILE_INP.CFG";
// Lines of GENERAL.CFG that a save always writes.
inline constexpr int kGeneralLines = 13;

// Name and contents of each file, in the order a save puts them in place.
using ConfigFileImages = std::array<std::pair<std::string, std::string>, 5>;

class ConfigStore {
  public:
    // Maps a DOS path ("C:\TALVEN.CFG_A") to the native directory.
    using PathResolver = std::function<std::filesystem::path(const std::string& dosPath)>;

    ConfigStore(ConfigControls& controls, ConfigFileSystem& files, PathResolver resolve);

    // "C:\TALVEN.CFG" followed by the instance suffix, read from the controls now.
    std::string directoryDosPath() const;
    std::filesystem::path directory() const;

    // Reads whatever of the files is present into the controls; the watched file's
    // path last. Never throws.
    void LOAD_CFG();

    // Writes all five files from the controls. The new files are written beside the
    // old ones and flushed before any old file is replaced, so each file is always
    // whole, old or new. Throws ConfigSaveError.
    void B_SAVE_Click();

    // The bytes a save writes, for the given controls.
    static ConfigFileImages render(const ConfigControls& controls);
    // The temporary name a file is written under before it replaces the old one.
    static std::string pendingName(const std::string& fileName);

  private:
    void loadTable(const std::filesystem::path& dir);
    void loadRemoveList(const std::filesystem::path& dir);
    void loadGeneral(const std::filesystem::path& dir);
    void loadWatchedFile(const std::filesystem::path& dir);
    void applyGeneralLine(int lineNumber, const std::string& line);
    // The file's lines, or nothing (logged) when it cannot be read.
    std::optional<ConfigLineReader> readLines(const std::filesystem::path& path);
    // The same for a file that may be missing, which is no error.
    std::optional<ConfigLineReader> presentLines(const std::filesystem::path& path);
    void guarded(const char* step, const std::function<void()>& statement);

    ConfigControls& controls_;
    ConfigFileSystem& files_;
    PathResolver resolve_;
};

}  // namespace kest
