#include "app/Explain.h"

#include <QTextStream>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "config/ConfigFileSystem.h"
#include "config/ConfigStore.h"
#include "config/SavedConfiguration.h"
#include "engine/DryRun.h"
#include "engine/DryRunText.h"
#include "platform/DosPaths.h"
#include "ui/MainWindowHost.h"
#include "ui/WindowWidgets.h"

namespace kest {

namespace {

using Text = ConfigControls::Text;
using Box = ConfigControls::Box;

constexpr const char* kProgram = "Kest_Redirect_Serial_to_KB: --explain: ";

// Each file that is there must be readable: explaining with part of a configuration
// would explain a program nobody runs. A file that is not there is what a started copy
// also does without.
QString unreadableFile(ConfigFileSystem& files, const std::filesystem::path& dir) {
    for (const char* name : {kGeneralFile, kSearchFile, kReplaceFile, kRemoveFile}) {
        const std::filesystem::path path = dir / name;
        std::error_code error;
        if (!std::filesystem::exists(path, error) && !error) continue;
        if (error || !std::filesystem::is_regular_file(path, error) || !files.readAll(path))
            return QString::fromStdU16String(path.u16string());
    }
    return {};
}

DryRunSettings settingsOf(const SavedConfiguration& saved) {
    DryRunSettings s;
    s.removeList = saved.removeRows();
    s.search = saved.searchRows();
    s.replace = saved.replaceRows();
    s.delay = saved.text(Text::Delay);
    s.prefix = saved.text(Text::Prefix);
    s.suffix = saved.text(Text::Suffix);
    s.targetWindow = saved.text(Text::TargetWin);
    s.apiKb = saved.boxState(Box::ApiKb) == 1;
    s.upper = saved.boxState(Box::Upper) == 1;
    return s;  // a started copy has no output mode yet
}

}  // namespace

int explainSample(const QString& instanceSuffix, const std::string& sample, QTextStream& out,
                  QTextStream& err) {
    if (sample.size() > kMaxDryRunSample) {
        err << kProgram << "the sample input is longer than " << kMaxDryRunSample << " bytes\n";
        return 2;
    }
    SavedConfiguration saved(toCp1252(instanceSuffix));
    StdConfigFileSystem files;
    ConfigStore store(saved, files, [](const std::string& dosPath) {
        return std::filesystem::path(dos::nativePath(fromCp1252(dosPath)).toStdU16String());
    });
    const std::filesystem::path dir = store.directory();
    const QString dirText = QString::fromStdU16String(dir.u16string());
    std::error_code error;
    if (!std::filesystem::is_directory(dir, error)) {
        err << kProgram << "cannot read the configuration: " << dirText
            << " does not exist (start the instance once to create it)\n";
        return 1;
    }
    if (const QString bad = unreadableFile(files, dir); !bad.isEmpty()) {
        err << kProgram << "cannot read the configuration file " << bad << "\n";
        return 1;
    }
    store.LOAD_CFG();

    // No channel is opened here: each send-back is shown as the channel would carry it
    // while open, in the role the configuration chooses.
    DryRunWorld world;
    world.serialOpen = true;
    (saved.serverSelected() ? world.tcpListenState : world.tcpClientState) = kSocketConnected;
    world.channelsAssumed = true;
    const DryRunSettings settings = settingsOf(saved);
    SystemClock clock(localDateNames());
    const DryRunResult result = dryRun(sample, settings, world, clock);
    out << "Configuration: " << dirText << "\n"
        << fromCp1252(renderDryRun(sample, settings, world, result));
    return 0;
}

std::string readSampleFromStandardInput() {
    std::string sample;
    char buffer[4096];
    std::size_t n = 0;
    while (sample.size() <= kMaxDryRunSample &&
           (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
        sample.append(buffer, n);
    return sample;
}

}  // namespace kest
