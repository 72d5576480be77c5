#include "config/ConfigFileSystem.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace kest {

bool StdConfigFileSystem::exists(const std::filesystem::path& file) {
    std::error_code ec;
    return std::filesystem::is_regular_file(file, ec);
}

std::optional<std::string> StdConfigFileSystem::readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

void StdConfigFileSystem::writeDurably(const std::filesystem::path& file,
                                       const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) throw ConfigSaveError("cannot create " + file.string());
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) throw ConfigSaveError("cannot write " + file.string());
}

void StdConfigFileSystem::replace(const std::filesystem::path& from,
                                  const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    if (ec) throw ConfigSaveError("cannot rename " + from.string() + ": " + ec.message());
}

void StdConfigFileSystem::remove(const std::filesystem::path& file) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
}

}  // namespace kest
