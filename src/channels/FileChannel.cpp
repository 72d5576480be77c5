#include "channels/FileChannel.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "channels/FileSnapshot.h"
#include "channels/LineReader.h"
#include "platform/DosPaths.h"

namespace kest {

namespace {

const QString kCopyName = QStringLiteral("FILE_CPY.TMP");
const QString kLastName = QStringLiteral("FILE_LST.TMP");

// A copy is good when the file did not change while it was made, or when it only grew:
// then the copy holds the file as it was when the copy began.
bool copyIsWhole(const QString& path, const QString& copyPath, const FileIdentity& before) {
    const auto after = readFileIdentity(path);
    if (!after) return false;
    if (*after == before) return true;
    return after->device == before.device && after->inode == before.inode &&
           after->size > before.size && leadingBytesAgree(path, copyPath, before.size);
}

bool changedLately(const FileIdentity& v) {
    const qint64 nowNs = QDateTime::currentMSecsSinceEpoch() * 1000000;
    return nowNs - v.modifiedNs < qint64(FileChannel::kHoldUnfinishedMs) * 1000000;
}

bool looksLikeWildcard(const QString& path) {
    return path.contains(QLatin1Char('*')) || path.contains(QLatin1Char('?'));
}

}  // namespace

struct FileChannel::Session {
    std::unique_ptr<FileVersionMark::Claim> claim;  // released last
    QString directory;
    LineEnds ends = LineEnds::Cr;
    QFile copy;
    QFile last;
    std::unique_ptr<LineReader> copyLines;
    std::unique_ptr<LineReader> lastLines;
    bool matching = false;
};

FileChannel::FileChannel(QObject* parent, std::unique_ptr<FileVersionMark> mark)
    : QObject(parent),
      mark_(mark ? std::move(mark) : makeFileVersionMark(defaultFileMarkDirectory())) {
    pollTimer_.setInterval(kPollMs);
    connect(&pollTimer_, &QTimer::timeout, this, &FileChannel::tick);
    pauseTimer_.setSingleShot(true);
    pauseTimer_.setInterval(kLinePauseMs);
    connect(&pauseTimer_, &QTimer::timeout, this, &FileChannel::handOverNext);
    pollTimer_.start();
}

FileChannel::~FileChannel() = default;

void FileChannel::setPath(const QString& path) {
    path_ = path;
}

void FileChannel::tick() {
    // A version still being handed over finishes first; its lines are paced by the
    // pause timer, and the next look at the file comes after it.
    if (session_) return;
    const QString trimmed = path_.trimmed();
    if (trimmed.isEmpty()) {
        setStatus(QStringLiteral("-----"), StatusRole::Neutral);
        return succeed();
    }
    const QString native = dos::nativePath(trimmed);
    const QFileInfo info(native);
    if (looksLikeWildcard(info.fileName())) return fail(QStringLiteral("wildcard in ") + native);
    const auto version = readFileIdentity(native);
    // Hidden files and anything but a regular file (a directory, a FIFO that would
    // block the reader, a device) count as absent.
    if (!version || !version->regular || version->hidden) {
        // A file in a folder that is not there can never come: no writer makes the
        // folder first. That is a mistake in the path, not a file yet to be written.
        const QFileInfo folder(info.absolutePath());
        if (!folder.isDir()) {
            return fail(QStringLiteral("the folder %1 does not exist")
                            .arg(QDir::toNativeSeparators(folder.absoluteFilePath())));
        }
        setStatus(QStringLiteral("Not Found"), StatusRole::Neutral);
        return succeed();
    }
    setStatus(QStringLiteral("Present"), StatusRole::Success);
    if (version->readOnly) return succeed();
    QString error;
    auto claim = mark_->tryClaim(native, &error);
    // No claim and no error: another copy is at work on this file; it marks the version.
    if (!claim) return error.isEmpty() ? succeed() : fail(error);
    if (claim->isProcessed(identityKey(*version))) return succeed();
    if (startSession(native, *version, std::move(claim))) handOverNext();
}

bool FileChannel::startSession(const QString& nativePath, const FileIdentity& version,
                               std::unique_ptr<FileVersionMark::Claim> claim) {
    auto session = std::make_unique<Session>();
    session->claim = std::move(claim);
    session->directory = QFileInfo(nativePath).absolutePath() + QLatin1Char('/');
    session->copy.setFileName(session->directory + kCopyName);
    session->last.setFileName(session->directory + kLastName);
    if (!copyVersion(*session, nativePath, version) || !openCopies(*session)) return false;
    session_ = std::move(session);
    return true;
}

bool FileChannel::copyVersion(Session& session, const QString& nativePath,
                              const FileIdentity& version) {
    const QString copyPath = session.copy.fileName();
    if (QFile::exists(copyPath) && !QFile::remove(copyPath)) {
        fail(QStringLiteral("cannot replace ") + copyPath);
        return false;
    }
    bool holdsCr = false;
    QString error;
    if (!copyLeadingBytes(nativePath, copyPath, version.size, &holdsCr, &error)) {
        fail(error);
        return false;
    }
    // A rewrite during the copy may have left a torn copy: that version is taken again
    // at the next tick, whole.
    if (!copyIsWhole(nativePath, copyPath, version)) {
        fail(nativePath + QStringLiteral(" rewritten while being copied"));
        return false;
    }
    session.ends = holdsCr ? LineEnds::Cr : LineEnds::Lf;
    if (!session.copy.open(QIODevice::ReadWrite)) {
        fail(QStringLiteral("cannot read ") + copyPath);
        return false;
    }
    const qint64 finished = endOfLastLine(session.copy, session.ends);
    if (finished < version.size && changedLately(version)) {
        // The writer is still at its last line: the copy ends where the finished lines
        // do, and the version stays unmarked, so that a later tick takes the line whole.
        if (!session.copy.resize(finished)) {
            fail(QStringLiteral("cannot shorten ") + copyPath);
            return false;
        }
    } else if (!session.claim->markProcessed(identityKey(version), &error)) {
        fail(error);
        return false;
    }
    session.copy.seek(0);
    return true;
}

bool FileChannel::openCopies(Session& session) {
    session.copyLines = std::make_unique<LineReader>(session.copy, session.ends);
    if (session.last.exists()) {
        if (!session.last.open(QIODevice::ReadOnly)) {
            fail(QStringLiteral("cannot read ") + session.last.fileName());
            return false;
        }
        const LineEnds ends = holdsCarriageReturn(session.last) ? LineEnds::Cr : LineEnds::Lf;
        session.lastLines = std::make_unique<LineReader>(session.last, ends);
        session.matching = true;
    }
    return true;
}

void FileChannel::handOverNext() {
    if (!session_) return;
    Session& s = *session_;
    LinePiece line;
    while (s.copyLines->next(line)) {
        if (s.matching) {
            LinePiece previous;
            if (!s.lastLines->next(previous) || !(previous == line)) s.matching = false;
        }
        if (s.matching) continue;
        QByteArray text = line.text;
        if (line.complete) text.append('\r');
        // The next line waits for the pause, which starts only once the receiver is
        // done: a receiver that runs the event loop meanwhile cannot pull lines early.
        emit textReceived(text);
        if (session_) pauseTimer_.start();
        return;
    }
    if (s.copyLines->failed() || (s.lastLines && s.lastLines->failed())) {
        return fail(QStringLiteral("read error in ") + s.directory);
    }
    finishSession();
}

void FileChannel::finishSession() {
    const QString copyPath = session_->copy.fileName();
    const QString lastPath = session_->last.fileName();
    // Other copies stay off the working files until they are renamed.
    const auto claim = std::move(session_->claim);
    session_.reset();  // closes both files before they are renamed
    if (QFile::exists(lastPath) && !QFile::remove(lastPath)) {
        return fail(QStringLiteral("cannot delete ") + lastPath);
    }
    if (!QFile::rename(copyPath, lastPath)) {
        return fail(QStringLiteral("cannot rename ") + copyPath + QStringLiteral(" to ") +
                    lastPath);
    }
    succeed();
}

void FileChannel::fail(const QString& why) {
    // A lasting failure repeats every tick, for days maybe: it is news once.
    if (why != lastFailure_) {
        lastFailure_ = why;
        emit failureChanged(why);
    }
    pauseTimer_.stop();
    session_.reset();
    setStatus(QStringLiteral("Error"), StatusRole::Failure);
}

void FileChannel::succeed() {
    if (lastFailure_.isEmpty()) return;
    lastFailure_.clear();
    emit failureChanged(QString());
}

void FileChannel::setStatus(const QString& text, StatusRole role) {
    if (text == status_ && role == role_) return;
    status_ = text;
    role_ = role;
    emit statusChanged(status_, role_);
}

}  // namespace kest
