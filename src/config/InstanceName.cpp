#include "config/InstanceName.h"

#include "config/ConfigLines.h"

namespace kest {

std::string commandLineText(const std::vector<std::string>& arguments) {
    std::string text;
    for (const auto& argument : arguments) {
        if (!text.empty()) text += ' ';
        text += argument;
    }
    return text;
}

std::optional<std::string> instanceSuffix(std::string_view commandLine) {
    const auto open = commandLine.find("/#");
    if (open == std::string_view::npos) return std::nullopt;
    // The closing "#" is searched from one character past the start of the name, so a
    // name has at least one character ("/##" does not close).
    const auto close = commandLine.find('#', open + 3);
    if (close == std::string_view::npos) return std::string(kInstanceDesignCaption);
    const auto name = commandLine.substr(open + 2, close - open - 2);
    return "_" + trimSpaces(name);
}

}  // namespace kest
