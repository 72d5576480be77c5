#pragma once
// The watched-file channel. Every 300 ms it looks at the file named in INP_FILE_DIR;
// when a version of the file has not been processed yet, it copies the file to
// "FILE_CPY.TMP", compares the copy line by line with "FILE_LST.TMP" (the copy of the
// previous processing) and hands every new line over, followed by a carriage return,
// one line every 0.1 s; then the copy becomes the new "FILE_LST.TMP".
//
// Linux has no archive attribute to say "written since last processed". A version is
// the file's device, inode, size, modification and change times, recorded when that
// version is processed: a version is processed once after each write, never while
// the file is read-only (no write permission for its owner), hidden (its name begins
// with a dot) or not a regular file. The record is kept per path, as the attribute
// would be kept per file: watching another file for a while and coming back does not
// type an unchanged file again.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>

#include "channels/ChannelTypes.h"

namespace kest {

struct FileVersion {
    qint64 device = 0;
    qint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    bool regular = false;
    bool readOnly = false;
    bool operator==(const FileVersion&) const = default;
};

class FileChannel : public QObject {
    Q_OBJECT
  public:
    static constexpr int kPollMs = 300;
    static constexpr int kLinePauseMs = 100;

    explicit FileChannel(QObject* parent = nullptr);
    ~FileChannel() override;

    // The text of INP_FILE_DIR: a DOS path, a native path or a bare file name.
    void setPath(const QString& path);
    QString path() const { return path_; }
    QString status() const { return status_; }
    // Why the status shows "Error", in plain words; empty otherwise.
    QString failureReason() const {
        return role_ == StatusRole::Failure ? lastFailure_ : QString();
    }
    StatusRole statusRole() const { return role_; }
    // True while the lines of a version are being handed over.
    bool isHandingOver() const { return session_ != nullptr; }

  signals:
    void statusChanged(const QString& text, kest::StatusRole role);
    void textReceived(const QByteArray& line);

  private:
    struct Session;

    void tick();  // TIM_FILE_Timer
    bool startSession(const QString& nativePath, const FileVersion& version);
    void handOverNext();
    void finishSession();
    void fail(const QString& why);
    void setStatus(const QString& text, StatusRole role);

    QString path_ = QStringLiteral("C:\\FILE_IN.TXT");
    QString status_ = QStringLiteral("CLOSE");
    StatusRole role_ = StatusRole::Ordinary;
    QTimer pollTimer_;
    QTimer pauseTimer_;
    std::unique_ptr<Session> session_;
    std::map<QString, FileVersion> processed_;  // by native path
    QString lastFailure_;
};

}  // namespace kest
