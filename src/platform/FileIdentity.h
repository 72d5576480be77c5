#pragma once
// What tells one version of a file from the next, and whether the file may be
// processed at all. Linux: device, inode, size, modification and change times (stat).
// Windows: volume serial number, file index, size and last write time
// (GetFileInformationByHandle); Windows keeps no change time there, so changedNs is 0.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace kest {

struct FileIdentity {
    qint64 device = 0;
    qint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;  // since the Unix epoch
    qint64 changedNs = 0;
    bool regular = false;   // a plain file: no directory, FIFO or device
    bool readOnly = false;  // Linux: no write permission for the owner; Windows: read-only
    bool hidden = false;    // Linux: a name that begins with a dot; Windows: hidden or system
    bool operator==(const FileIdentity&) const = default;
};

// nullopt when the file is not there or cannot be looked at.
std::optional<FileIdentity> readFileIdentity(const QString& path);

// The identity as text, as the file-version mark records it.
QByteArray identityKey(const FileIdentity& identity);

}  // namespace kest
