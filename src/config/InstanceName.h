#pragma once
// The instance a copy of the program runs as, from its command-line text: the name
// between "/#" and the next "#" selects a configuration directory of its own.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kest {

// AFF_INSTANCE's design caption; it becomes the suffix when "/#" has no closing "#".
inline constexpr const char* kInstanceDesignCaption = "INSTANCE HERE";

// The argument text: every argument joined with single spaces.
std::string commandLineText(const std::vector<std::string>& arguments);

// nullopt without "/#" (an unnamed copy); otherwise the instance suffix: "_" and the
// trimmed name, or the design caption when the name has no closing "#".
std::optional<std::string> instanceSuffix(std::string_view commandLine);

}  // namespace kest
