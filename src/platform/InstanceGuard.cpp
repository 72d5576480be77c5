#include "platform/InstanceGuard.h"

#include "platform/DosPaths.h"

namespace kest {

QString InstanceGuard::defaultKey() {
    return dos::baseDirectory() + QStringLiteral("/instances.lock");
}

}  // namespace kest
