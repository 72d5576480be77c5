#pragma once
// F_MAIN's controls as the configuration store sees them. Every setter changes the
// control itself, so the control's own handler runs as for a user's edit.

#include <memory>

#include "config/ConfigControls.h"
#include "config/ConfigFileSystem.h"
#include "platform/DurableFiles.h"

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

// Every new file whole on the disk before a save replaces any old one, and the
// replace in one durable step, each the platform's own way (platform/DurableFiles.h),
// so that a power loss at any moment finds whole files.
class DurableConfigFileSystem : public StdConfigFileSystem {
  public:
    void writeDurably(const std::filesystem::path& file, const std::string& bytes) override;
    void replace(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void syncDirectory(const std::filesystem::path& directory) override;
    void lockDirectory(const std::filesystem::path& directory) override;
    void unlockDirectory() override;

  private:
    std::unique_ptr<durable::SaveLock> saveLock_;
};

}  // namespace kest
