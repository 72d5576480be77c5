#include "platform/DosPaths.h"

namespace kest::dos {

bool isDosPath(const QString& path) {
    if (path.size() < 2 || !path.at(0).isLetter() || path.at(0).unicode() > 0x7F) return false;
    if (path.at(1) != QLatin1Char(':')) return false;
    return path.size() == 2 || path.at(2) == QLatin1Char('\\') || path.at(2) == QLatin1Char('/');
}

}  // namespace kest::dos
