#include "platform/win32/Win32InstanceRule.h"

#include <QCryptographicHash>
#include <QDebug>

namespace kest::win32 {

std::wstring instanceMutexName(const QString& key) {
    // Letter case does not name another file on Windows, so it does not name another key.
    const QByteArray hash =
        QCryptographicHash::hash(key.toLower().toUtf8(), QCryptographicHash::Sha1).toHex();
    return (QStringLiteral("Local\\kest-redirect-instances-") + QString::fromLatin1(hash))
        .toStdWString();
}

bool enterInstance(Win32Calls& calls, const std::wstring& name, bool unnamed, Handle* held) {
    *held = kNoHandle;
    Handle mutex = kNoHandle;
    bool existed = false;
    if (const ErrorCode e = calls.createMutex(name, &mutex, &existed); e != kErrorSuccess) {
        // A copy that runs as administrator made the mutex with a security descriptor
        // that keeps ours out: it exists, so a copy is running.
        if (e == kErrorAccessDenied) return !unnamed;
        // Without the mutex nothing can be told about other copies; running is the
        // useful choice, and the developer learns why the rule did not apply.
        qWarning() << "instance mutex" << QString::fromStdWString(name)
                   << "cannot be created:" << QString::fromStdString(calls.errorText(e));
        return true;
    }
    if (unnamed && existed) {
        calls.closeHandle(mutex);
        return false;
    }
    *held = mutex;
    return true;
}

}  // namespace kest::win32
