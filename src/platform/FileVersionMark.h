#pragma once
// The mark that says "this version of a watched file has been processed". It is shared
// by every copy of the program and outlives a run, so that exactly one copy types each
// version of a file and a restart does not type an unchanged file again. On Windows
// the file's archive attribute is that mark (set: written since it was processed);
// elsewhere it is a record in the base directory that all copies of one user share.
//
// Work on a watched file happens under a claim: one copy at a time holds it, for the
// file and for the working files beside it, from the decision to process a version
// until its lines are handed over. Two copies polling in the same instant cannot
// both win it. The claim is a lock that goes with the process, however it ends.

#include <QByteArray>
#include <QString>
#include <memory>

namespace kest {

class FileVersionMark {
  public:
    class Claim {
      public:
        virtual ~Claim() = default;  // gives the claim up
        // The version is an identity the caller derives from the file (size, times ...);
        // a platform with a mark on the file itself may ignore it.
        virtual bool isProcessed(const QByteArray& version) const = 0;
        // False, with the reason, when the mark could not be stored.
        virtual bool markProcessed(const QByteArray& version, QString* error) = 0;
    };

    virtual ~FileVersionMark() = default;
    // The claim on the watched file; nullptr while another copy holds it (error left
    // empty) or when the claim cannot be taken at all (error says why).
    virtual std::unique_ptr<Claim> tryClaim(const QString& watchedPath, QString* error) = 0;
};

// The platform's mark. Where it must keep records of its own, it keeps them in
// recordDirectory (created on first use).
std::unique_ptr<FileVersionMark> makeFileVersionMark(const QString& recordDirectory);
// The records' place for the running user: B/file-marks.
QString defaultFileMarkDirectory();

}  // namespace kest
