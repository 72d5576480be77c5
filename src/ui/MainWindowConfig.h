#pragma once
// F_MAIN's controls as the configuration store sees them. Every setter changes the
// control itself, so the control's own handler runs as for a user's edit.

#include "config/ConfigControls.h"
#include "config/ConfigFileSystem.h"

namespace kest {

class F_MAIN;

class MainWindowConfig : public ConfigControls {
  public:
    explicit MainWindowConfig(F_MAIN& window) : w_(window) {}

    std::string instanceSuffix() const override;
    std::vector<std::string> searchRows() const override;
    std::vector<std::string> replaceRows() const override;
    void appendSearchRow(const std::string& row) override;
    void appendReplaceRow(const std::string& row) override;
    std::vector<std::string> removeRows() const override;
    void appendRemoveRow(const std::string& row) override;
    std::string text(Text which) const override;
    void setText(Text which, const std::string& value) override;
    int boxState(Box which) const override;
    void setBoxState(Box which, int state) override;
    bool serverSelected() const override;
    void selectServer() override;
    void refreshHandshaking() override;
    void logFailure(const std::string& what) override;

  private:
    F_MAIN& w_;
};

// Writes through to the disk before a save replaces any file (fsync), so that a power
// loss right after the save finds whole files.
class DurableConfigFileSystem : public StdConfigFileSystem {
  public:
    void writeDurably(const std::filesystem::path& file, const std::string& bytes) override;
    void syncDirectory(const std::filesystem::path& directory) override;
    void lockDirectory(const std::filesystem::path& directory) override;
    void unlockDirectory() override;

  private:
    int lockFd_ = -1;
};

}  // namespace kest
