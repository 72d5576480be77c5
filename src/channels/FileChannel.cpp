#include "channels/FileChannel.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include "platform/DosPaths.h"
#include "channels/LineReader.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace kest {

namespace {

const QString kCopyName = QStringLiteral("FILE_CPY.TMP");
const QString kLastName = QStringLiteral("FILE_LST.TMP");

std::optional<FileVersion> readVersion(const QString& path) {
    FileVersion v;
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    v.device = static_cast<qint64>(st.st_dev);
    v.inode = static_cast<qint64>(st.st_ino);
    v.size = static_cast<qint64>(st.st_size);
    v.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    v.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    v.regular = S_ISREG(st.st_mode);
    // The owner's write bit, not access(): root may write anything, yet a file its
    // user marked read-only must still be left alone.
    v.readOnly = (st.st_mode & S_IWUSR) == 0;
#else
    const QFileInfo info(path);
    if (!info.exists()) return std::nullopt;
    v.size = info.size();
    v.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    v.changedNs = info.metadataChangeTime().toMSecsSinceEpoch() * 1000000;
    v.regular = info.isFile();
    v.readOnly = !info.permission(QFileDevice::WriteOwner);
#endif
    return v;
}

bool looksLikeWildcard(const QString& path) {
    return path.contains(QLatin1Char('*')) || path.contains(QLatin1Char('?'));
}

}  // namespace

struct FileChannel::Session {
    QString directory;
    QFile copy;
    QFile last;
    std::unique_ptr<LineReader> copyLines;
    std::unique_ptr<LineReader> lastLines;
    bool matching = false;
};

FileChannel::FileChannel(QObject* parent) : QObject(parent) {
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
        return;
    }
    const QString native = dos::nativePath(trimmed);
    const QFileInfo info(native);
    if (looksLikeWildcard(info.fileName())) return fail(QStringLiteral("wildcard in ") + native);
    const auto version = readVersion(native);
    // Hidden files and anything but a regular file (a directory, a FIFO that would
    // block the reader, a device) count as absent.
    if (!version || !version->regular || info.fileName().startsWith(QLatin1Char('.'))) {
        setStatus(QStringLiteral("Not Found"), StatusRole::Neutral);
        return;
    }
    setStatus(QStringLiteral("Present"), StatusRole::Success);
    if (version->readOnly) return;
    if (const auto known = processed_.find(native);
        known != processed_.end() && known->second == *version)
        return;
    if (startSession(native, *version)) handOverNext();
}

bool FileChannel::startSession(const QString& nativePath, const FileVersion& version) {
    auto session = std::make_unique<Session>();
    session->directory = QFileInfo(nativePath).absolutePath() + QLatin1Char('/');
    const QString copyPath = session->directory + kCopyName;
    if (QFile::exists(copyPath) && !QFile::remove(copyPath)) {
        fail(QStringLiteral("cannot replace ") + copyPath);
        return false;
    }
    if (!QFile::copy(nativePath, copyPath)) {
        fail(QStringLiteral("cannot copy ") + nativePath + QStringLiteral(" to ") + copyPath);
        return false;
    }
    // A write during the copy may have left a torn copy: that version is taken again
    // at the next tick, whole.
    if (readVersion(nativePath) != version) {
        fail(nativePath + QStringLiteral(" changed while being copied"));
        return false;
    }
    processed_[nativePath] = version;
    session->copy.setFileName(copyPath);
    if (!session->copy.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read ") + copyPath);
        return false;
    }
    session->copyLines = std::make_unique<LineReader>(session->copy);
    session->last.setFileName(session->directory + kLastName);
    if (session->last.exists()) {
        if (!session->last.open(QIODevice::ReadOnly)) {
            fail(QStringLiteral("cannot read ") + session->last.fileName());
            return false;
        }
        session->lastLines = std::make_unique<LineReader>(session->last);
        session->matching = true;
    }
    session_ = std::move(session);
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
    session_.reset();  // closes both files before they are renamed
    if (QFile::exists(lastPath) && !QFile::remove(lastPath)) {
        return fail(QStringLiteral("cannot delete ") + lastPath);
    }
    if (!QFile::rename(copyPath, lastPath)) {
        return fail(QStringLiteral("cannot rename ") + copyPath + QStringLiteral(" to ") +
                    lastPath);
    }
    lastFailure_.clear();
}

void FileChannel::fail(const QString& why) {
    // A lasting failure repeats every tick, for days maybe: say each one once.
    if (why != lastFailure_) qWarning() << "File channel:" << why;
    lastFailure_ = why;
    pauseTimer_.stop();
    session_.reset();
    setStatus(QStringLiteral("Error"), StatusRole::Failure);
}

void FileChannel::setStatus(const QString& text, StatusRole role) {
    if (text == status_ && role == role_) return;
    status_ = text;
    role_ = role;
    emit statusChanged(status_, role_);
}

}  // namespace kest
