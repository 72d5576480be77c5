#pragma once
// Which window a title names, the same on every platform.

#include <optional>
#include <string>
#include <vector>

namespace kest {

// A title equal to wanted wins, else the first one that begins with it; letter case is
// ignored across Windows-1252, the only letters a title typed in the program can hold.
// Both sides are Unicode text. Returns the index of the chosen title.
std::optional<std::size_t> matchTitle(const std::u32string& wanted,
                                      const std::vector<std::u32string>& titles);

}  // namespace kest
