#include <QCryptographicHash>
#include <QDir>

#include "platform/InstanceGuard.h"
#include "platform/win32/Win32InstanceRule.h"

namespace kest {

struct InstanceGuard::Held {
    win32::Handle mutex = win32::kNoHandle;
    ~Held() {
        if (mutex != win32::kNoHandle) win32::systemWin32Calls().closeHandle(mutex);
    }
};

InstanceGuard::InstanceGuard(QString key) : key_(std::move(key)), held_(std::make_unique<Held>()) {}

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::enter(bool unnamed) {
    return win32::enterInstance(win32::systemWin32Calls(), win32::instanceMutexName(key_), unnamed,
                                &held_->mutex);
}

QString InstanceGuard::instanceKey(const QString& configDirectory) {
    return QDir::toNativeSeparators(QDir::cleanPath(configDirectory));
}

QString InstanceGuard::channelName() const {
    // A pipe name as the mutex's: letter case does not name another instance.
    const QByteArray hash =
        QCryptographicHash::hash(key_.toLower().toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("kest-redirect-") + QString::fromLatin1(hash.left(24));
}

}  // namespace kest
