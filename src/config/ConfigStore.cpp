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

// GENERAL.CFG line by line: the control each line mirrors, in which form, and whether
// the load applies it. The save writes every line; the load reads every line.
struct GeneralLine {
    enum class Form { Text, TrimmedText, Box, ServerRole };
    enum class Load { Apply, ApplyUnlessEmpty, PassOver };
    Form form;
    Text text = Text::Delay;
    Box box = Box::ApiKb;
    Load load = Load::Apply;
};

using Form = GeneralLine::Form;
using Load = GeneralLine::Load;

constexpr GeneralLine kGeneralLayout[kGeneralLines] = {
    // INP_DELAY is read and passed over: the field keeps ".2".
    {Form::Text, Text::Delay, Box::ApiKb, Load::PassOver},
    {Form::Text, Text::ComCfg, Box::ApiKb, Load::ApplyUnlessEmpty},
    {Form::Box, Text::Delay, Box::ApiKb},
    {Form::Text, Text::Prefix},
    {Form::Text, Text::Suffix},
    {Form::Text, Text::TargetWin},
    {Form::Box, Text::Delay, Box::Rts},
    {Form::Box, Text::Delay, Box::Dtr},
    {Form::Text, Text::Handshaking},
    {Form::Box, Text::Delay, Box::Upper},
    {Form::TrimmedText, Text::IpTcp},
    {Form::TrimmedText, Text::IpPort},
    {Form::ServerRole},
};

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
    if (!dir.empty()) loadWatchedFile(dir);
}

void ConfigStore::loadWatchedFile(const std::filesystem::path& dir) {
    auto lines = presentLines(dir / kWatchedFileFile);
    if (!lines) return;
    // An empty line is a path the user emptied: the channel then watches nothing.
    if (auto line = lines->next()) {
        guarded("INP_FILE_DIR", [&] { controls_.setText(Text::FileDir, *line); });
    }
}

void ConfigStore::loadTable(const std::filesystem::path& dir) {
    const auto searchPath = dir / kSearchFile;
    const auto replacePath = dir / kReplaceFile;
    if (!files_.exists(searchPath) || !files_.exists(replacePath)) return;
    auto searchLines = readLines(searchPath);
    auto replaceLines = readLines(replacePath);
    if (!searchLines || !replaceLines) return;
    bool replaceShort = false;
    while (!searchLines->atEnd()) {
        const std::string row = *searchLines->next();
        guarded("LST_TOUCHES(0)", [&] { controls_.appendSearchRow(row); });
        // A shorter replace file (edited by hand) gets empty replacements, so that the
        // two columns keep pairing row for row.
        auto replacement = replaceLines->next();
        if (!replacement) replaceShort = true;
        guarded("LST_TOUCHES(1)", [&] { controls_.appendReplaceRow(replacement.value_or("")); });
    }
    if (replaceShort) controls_.logFailure(std::string(kReplaceFile) + " has fewer lines");
}

std::optional<ConfigLineReader> ConfigStore::presentLines(const std::filesystem::path& path) {
    if (!files_.exists(path)) return std::nullopt;  // a missing file is no error
    return readLines(path);
}

std::optional<ConfigLineReader> ConfigStore::readLines(const std::filesystem::path& path) {
    auto bytes = files_.readAll(path);
    if (!bytes) {
        controls_.logFailure("cannot read " + path.string());
        return std::nullopt;
    }
    return ConfigLineReader(std::move(*bytes));
}

void ConfigStore::loadRemoveList(const std::filesystem::path& dir) {
    auto lines = presentLines(dir / kRemoveFile);
    if (!lines) return;
    // An empty file has no port line: the port field keeps its text.
    if (auto port = lines->next()) {
        guarded("INP_COMMPORT", [&] { controls_.setText(Text::CommPort, *port); });
    }
    while (auto line = lines->next()) {
        const std::string row = *line;
        guarded("LST_REMOVE_CAR",
                [&] { controls_.appendRemoveRow(decimalText(numericValue(row))); });
    }
}

void ConfigStore::loadGeneral(const std::filesystem::path& dir) {
    const auto path = dir / kGeneralFile;
    auto lines = presentLines(path);
    if (!lines) return;
    for (int number = 1; number <= kGeneralLines; ++number) {
        auto line = lines->next();
        if (!line) {
            // A short file: the controls of the missing lines keep their values.
            controls_.logFailure(path.string() + " ends before line " + std::to_string(number));
            return;
        }
        applyGeneralLine(number, *line);
    }
}

void ConfigStore::applyGeneralLine(int lineNumber, const std::string& line) {
    const GeneralLine& layout = kGeneralLayout[lineNumber - 1];
    if (layout.load == Load::PassOver) return;
    if (layout.load == Load::ApplyUnlessEmpty && line.empty()) return;
    const std::string where = "GENERAL.CFG line " + std::to_string(lineNumber);
    switch (layout.form) {
        case Form::Text:
        case Form::TrimmedText:
            guarded("GENERAL.CFG text", [&] { controls_.setText(layout.text, line); });
            break;
        case Form::Box: {
            const std::optional<int> state = parseCheckBox(line);
            if (!state) {
                controls_.logFailure(where + ": not a check-box state: " + line);
                return;
            }
            guarded("GENERAL.CFG check box", [&] { controls_.setBoxState(layout.box, *state); });
            break;
        }
        case Form::ServerRole: {
            // "False" changes nothing: the role stays as it was.
            const std::optional<bool> server = parseTruth(line);
            if (!server) controls_.logFailure(where + ": not a truth value: " + line);
            if (server.value_or(false))
                guarded("SW_IP_CL_SE(1)", [&] { controls_.selectServer(); });
            break;
        }
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
    for (const GeneralLine& line : kGeneralLayout) {
        switch (line.form) {
            case Form::Text:
                appendLine(general, c.text(line.text));
                break;
            case Form::TrimmedText:
                appendLine(general, trimSpaces(c.text(line.text)));
                break;
            case Form::Box:
                appendLine(general, checkBoxText(c.boxState(line.box)));
                break;
            case Form::ServerRole:
                appendLine(general, truthText(c.serverSelected()));
                break;
        }
    }

    std::string watched;
    appendLine(watched, c.text(Text::FileDir));

    return {{{kSearchFile, std::move(search)},
             {kReplaceFile, std::move(replace)},
             {kRemoveFile, std::move(remove)},
             {kGeneralFile, std::move(general)},
             {kWatchedFileFile, std::move(watched)}}};
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
