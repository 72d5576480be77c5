#pragma once
// The file operations of the configuration store, behind a seam so that a save can
// be made durable with the platform's own flush and so that tests can make any step
// fail.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace kest {

class ConfigSaveError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class ConfigFileSystem {
  public:
    virtual ~ConfigFileSystem() = default;
    virtual bool exists(const std::filesystem::path& file) = 0;
    // The whole file, or nullopt when it cannot be opened or read.
    virtual std::optional<std::string> readAll(const std::filesystem::path& file) = 0;
    // Creates or truncates the file, writes the bytes and flushes them to the disk.
    // Throws ConfigSaveError.
    virtual void writeDurably(const std::filesystem::path& file, const std::string& bytes) = 0;
    // Renames from over to in one step: to is either its old or its new self.
    // Throws ConfigSaveError.
    virtual void replace(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Makes the renames in the directory durable; best effort.
    virtual void syncDirectory(const std::filesystem::path& directory) = 0;
    virtual void remove(const std::filesystem::path& file) = 0;  // no error when missing
    // Two copies of one instance share the directory; holding this around a save keeps
    // their temporary files apart. Best effort: a save goes on without it.
    virtual void lockDirectory(const std::filesystem::path&) {}
    virtual void unlockDirectory() {}
};

// Standard library only: flushes the stream but cannot force the disk cache.
class StdConfigFileSystem : public ConfigFileSystem {
  public:
    bool exists(const std::filesystem::path& file) override;
    std::optional<std::string> readAll(const std::filesystem::path& file) override;
    void writeDurably(const std::filesystem::path& file, const std::string& bytes) override;
    void replace(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void syncDirectory(const std::filesystem::path&) override {}
    void remove(const std::filesystem::path& file) override;
};

}  // namespace kest
