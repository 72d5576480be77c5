#include "platform/MarkRecords.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kest::marks {

namespace {

QString hashName(const QString& text) {
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex());
}

}  // namespace

QString canonicalPath(const QString& path) {
    const QFileInfo info(path);
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : resolved;
}

QString recordPath(const QString& directory, const QString& canonicalFile) {
    return directory + QLatin1Char('/') + hashName(canonicalFile) + QStringLiteral(".mark");
}

QString claimLockPath(const QString& directory, const QString& canonicalFile) {
    return directory + QLatin1Char('/') + hashName(QFileInfo(canonicalFile).absolutePath()) +
           QStringLiteral(".lock");
}

bool recordHolds(const QString& recordPath, const QByteArray& version) {
    QFile record(recordPath);
    if (!record.open(QIODevice::ReadOnly)) return false;
    return record.readAll() == version;
}

bool storeRecord(const QString& recordPath, const QByteArray& version, QString* error) {
    QSaveFile record(recordPath);
    if (record.open(QIODevice::WriteOnly) && record.write(version) == version.size() &&
        record.commit())
        return true;
    if (error) *error = QStringLiteral("cannot store ") + recordPath + ": " + record.errorString();
    return false;
}

}  // namespace kest::marks
