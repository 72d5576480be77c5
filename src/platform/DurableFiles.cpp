#include "platform/DurableFiles.h"

#include <QString>

namespace kest::durable {

std::string displayName(const std::filesystem::path& path) {
    return QString::fromStdU16String(path.u16string()).toStdString();
}

}  // namespace kest::durable
