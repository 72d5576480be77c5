#include <stdexcept>

#include "platform/Autostart.h"

namespace kest::autostart {

namespace {

[[noreturn]] void notOffered() {
    throw std::runtime_error(
        "start at login is not set up by the program on Windows: put a shortcut to it, with "
        "its instance argument, into the Startup folder (shell:startup)");
}

}  // namespace

QString entryPath(const QString&) {
    return {};
}

void enable(const QString&, const QString&) {
    notOffered();
}

bool disable(const QString&) {
    notOffered();
}

}  // namespace kest::autostart
