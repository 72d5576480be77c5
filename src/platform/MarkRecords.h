#pragma once
// The records a file-version mark keeps of its own, in the mark directory that every
// copy of one user shares: a record per watched file holding the identity of its last
// processed version, and a lock file per directory of watched files for the claim
// (the working files of every watched file in one directory lie beside each other).
// Both are named after a hash of the path, so that any path gives a valid name.

#include <QByteArray>
#include <QString>

namespace kest::marks {

// One name for one file however it is written: relative, with "..", or through a link.
QString canonicalPath(const QString& path);

// <directory>/<hash of the file's path>.mark
QString recordPath(const QString& directory, const QString& canonicalFile);
// <directory>/<hash of the path of the directory holding the file>.lock
QString claimLockPath(const QString& directory, const QString& canonicalFile);

// True when the record holds exactly this version.
bool recordHolds(const QString& recordPath, const QByteArray& version);
// Written whole or not at all: a copy killed meanwhile leaves the old record.
bool storeRecord(const QString& recordPath, const QByteArray& version, QString* error);

}  // namespace kest::marks
