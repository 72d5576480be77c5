#include "config/ConfigStore.h"

#include <exception>
#include <optional>

#include "config/ConfigControls.h"
#include "config/ConfigFileSystem.h"
#include "config/ConfigLines.h"
#include "engine/NumericValue.h"

namespace kest {

namespace {

using Text = ConfigControls::Text;
using Box = ConfigControls::Box;

}  // namespace

ConfigStore::ConfigStore(ConfigControls& controls, ConfigFileSystem& files, PathResolver resolve)
    : controls_(controls), files_(files), resolve_(std::move(resolve)) {}

std::string ConfigStore::directoryDosPath() const {
    return std::string(kConfigRoot) + controls_.instanceSuffix();
}

std::filesystem::path ConfigStore::directory() const {
    return resolve_(directoryDosPath());
}

std::string ConfigStore::pendingName(const std::string& fileName) {
    return fileName + ".new";
}

void ConfigStore::LOAD_CFG() {
    std::filesystem::path dir;
    try {
        dir = directory();
    } catch (const std::exception& e) {
        controls_.logFailure(std::string("config directory: ") + e.what());
    }
    if (!dir.empty()) {
        loadTable(dir);
        loadRemoveList(dir);
        loadGeneral(dir);
    }
    // The handshaking list gets its refresh whatever was loaded: it turns an unknown
    // name into "None" and applies the choice to the port.
    guarded("LST_HANDSHAKING_Click", [this] { controls_.refreshHandshaking(); });
}

void ConfigStore::loadTable(const std::filesystem::path& dir) {
    const auto searchPath = dir / kSearchFile;
    const auto replacePath = dir / kReplaceFile;
    if (!files_.exists(searchPath) || !files_.exists(replacePath)) return;
    auto search = files_.readAll(searchPath);
    auto replace = files_.readAll(replacePath);
    if (!search || !replace) {
        controls_.logFailure("cannot read the search/replace files in " + dir.string());
        return;
    }
    ConfigLineReader searchLines(std::move(*search));
    ConfigLineReader replaceLines(std::move(*replace));
    bool replaceShort = false;
    while (!searchLines.atEnd()) {
        const std::string row = *searchLines.next();
        guarded("LST_TOUCHES(0)", [&] { controls_.appendSearchRow(row); });
        // A shorter replace file (edited by hand) gets empty replacements, so that the
        // two columns keep pairing row for row.
        auto replacement = replaceLines.next();
        if (!replacement) replaceShort = true;
        guarded("LST_TOUCHES(1)", [&] { controls_.appendReplaceRow(replacement.value_or("")); });
    }
    if (replaceShort) controls_.logFailure(std::string(kReplaceFile) + " has fewer lines");
}

void ConfigStore::loadRemoveList(const std::filesystem::path& dir) {
    const auto path = dir / kRemoveFile;
    if (!files_.exists(path)) return;
    auto bytes = files_.readAll(path);
    if (!bytes) {
        controls_.logFailure("cannot read " + path.string());
        return;
    }
    ConfigLineReader lines(std::move(*bytes));
    // An empty file has no port line: the port field keeps its text.
    if (auto port = lines.next()) {
        guarded("INP_COMMPORT", [&] { controls_.setText(Text::CommPort, *port); });
    }
    while (auto line = lines.next()) {
        const std::string row = *line;
        guarded("LST_REMOVE_CAR",
                [&] { controls_.appendRemoveRow(decimalText(numericValue(row))); });
    }
}

void ConfigStore::loadGeneral(const std::filesystem::path& dir) {
    const auto path = dir / kGeneralFile;
    if (!files_.exists(path)) return;
    auto bytes = files_.readAll(path);
    if (!bytes) {
        controls_.logFailure("cannot read " + path.string());
        return;
    }
    ConfigLineReader lines(std::move(*bytes));
    for (int number = 1; number <= kGeneralLines; ++number) {
        auto line = lines.next();
        if (!line) {
            // A short file: the controls of the missing lines keep their values.
            controls_.logFailure(path.string() + " ends before line " + std::to_string(number));
            return;
        }
        applyGeneralLine(number, *line);
    }
}

void ConfigStore::applyGeneralLine(int lineNumber, const std::string& line) {
    auto setText = [&](Text which) {
        guarded("GENERAL.CFG text", [&] { controls_.setText(which, line); });
    };
    auto setBox = [&](Box which) {
        const std::optional<int> state = parseCheckBox(line);
        if (!state) {
            controls_.logFailure("GENERAL.CFG line " + std::to_string(lineNumber) +
                                 ": not a check-box state: " + line);
            return;
        }
        guarded("GENERAL.CFG check box", [&] { controls_.setBoxState(which, *state); });
    };
    switch (lineNumber) {
        case 1:
            break;  // INP_DELAY: read and passed over, the field keeps ".2"
        case 2:
            if (!line.empty()) setText(Text::ComCfg);
            break;
        case 3:
            setBox(Box::ApiKb);
            break;
        case 4:
            setText(Text::Prefix);
            break;
        case 5:
            setText(Text::Suffix);
            break;
        case 6:
            setText(Text::TargetWin);
            break;
        case 7:
            setBox(Box::Rts);
            break;
        case 8:
            setBox(Box::Dtr);
            break;
        case 9:
            setText(Text::Handshaking);
            break;
        case 10:
            setBox(Box::Upper);
            break;
        case 11:
            setText(Text::IpTcp);
            break;
        case 12:
            setText(Text::IpPort);
            break;
        case 13: {
            // "False" changes nothing: the role stays as it was.
            const std::optional<bool> server = parseTruth(line);
            if (!server) controls_.logFailure("GENERAL.CFG line 13: not a truth value: " + line);
            if (server.value_or(false))
                guarded("SW_IP_CL_SE(1)", [&] { controls_.selectServer(); });
            break;
        }
        default:
            break;
    }
}

void ConfigStore::guarded(const char* step, const std::function<void()>& statement) {
    try {
        statement();
    } catch (const std::exception& e) {
        controls_.logFailure(std::string("load ") + step + ": " + e.what());
    } catch (...) {
        controls_.logFailure(std::string("load ") + step + ": unknown error");
    }
}

ConfigFileImages ConfigStore::render(const ConfigControls& c) {
    std::string search;
    std::string replace;
    const auto searchRows = c.searchRows();
    const auto replaceRows = c.replaceRows();
    // Both files get as many lines as the search column has rows.
    for (std::size_t i = 0; i < searchRows.size(); ++i) {
        appendLine(search, searchRows[i]);
        appendLine(replace, i < replaceRows.size() ? replaceRows[i] : std::string());
    }

    std::string remove;
    appendLine(remove, c.text(Text::CommPort));
    for (const auto& row : c.removeRows()) appendLine(remove, row);

    std::string general;
    appendLine(general, c.text(Text::Delay));
    appendLine(general, c.text(Text::ComCfg));
    appendLine(general, checkBoxText(c.boxState(Box::ApiKb)));
    appendLine(general, c.text(Text::Prefix));
    appendLine(general, c.text(Text::Suffix));
    appendLine(general, c.text(Text::TargetWin));
    appendLine(general, checkBoxText(c.boxState(Box::Rts)));
    appendLine(general, checkBoxText(c.boxState(Box::Dtr)));
    appendLine(general, c.text(Text::Handshaking));
    appendLine(general, checkBoxText(c.boxState(Box::Upper)));
    appendLine(general, trimSpaces(c.text(Text::IpTcp)));
    appendLine(general, trimSpaces(c.text(Text::IpPort)));
    appendLine(general, truthText(c.serverSelected()));

    return {{{kSearchFile, std::move(search)},
             {kReplaceFile, std::move(replace)},
             {kRemoveFile, std::move(remove)},
             {kGeneralFile, std::move(general)}}};
}

void ConfigStore::B_SAVE_Click() {
    const std::filesystem::path dir = directory();
    const ConfigFileImages images = render(controls_);
    struct DirectoryLock {
        ConfigFileSystem& files;
        DirectoryLock(ConfigFileSystem& f, const std::filesystem::path& d) : files(f) {
            files.lockDirectory(d);
        }
        ~DirectoryLock() { files.unlockDirectory(); }
    } lock(files_, dir);
    // Every new file is whole on the disk before the first old one is replaced.
    for (const auto& [name, bytes] : images) {
        try {
            files_.writeDurably(dir / pendingName(name), bytes);
        } catch (...) {
            for (const auto& image : images) files_.remove(dir / pendingName(image.first));
            throw;
        }
    }
    for (const auto& [name, bytes] : images) files_.replace(dir / pendingName(name), dir / name);
    files_.syncDirectory(dir);
}

}  // namespace kest
