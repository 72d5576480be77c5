#pragma once
// The watched-file channel. Every 300 ms it looks at the file named in INP_FILE_DIR;
// when a version of the file has not been processed yet, it copies the file to
// "FILE_CPY.TMP", compares the copy line by line with "FILE_LST.TMP" (the copy of the
// previous processing) and hands every new line over, followed by a carriage return,
// one line every 0.1 s; then the copy becomes the new "FILE_LST.TMP".
//
// A version is the file's identity (platform/FileIdentity.h). Whether
// it has been processed is the platform's file-version mark, shared by every copy of
// the program and kept across runs, so that one copy types each version once; the
// work on a version happens under the mark's claim, which also keeps other copies off
// the working files meanwhile. A version is never processed while the file is
// read-only, hidden (on Linux: its name begins with a dot; on Windows: hidden or system)
// or not a regular file.
//
// A writer is taken to be appending, as a device log does: a file that grew while it
// was copied is taken as it was when the copy began, and its new end comes at the
// next tick. A last line without its line end is held back until the line end comes
// or the file has been left alone for kHoldUnfinishedMs; then it is typed once.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

#include "channels/ChannelTypes.h"
#include "platform/FileIdentity.h"
#include "platform/FileVersionMark.h"

namespace kest {

class FileChannel : public QObject {
    Q_OBJECT
  public:
    static constexpr int kPollMs = 300;
    static constexpr int kLinePauseMs = 100;
    static constexpr int kHoldUnfinishedMs = 1000;

    // Without a mark of its own the channel uses the platform's, in its usual place.
    explicit FileChannel(QObject* parent = nullptr, std::unique_ptr<FileVersionMark> mark = {});
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
    // The last failure, once, when it comes (with its reason) and when a later tick
    // goes well (empty): not at every tick that fails the same way again.
    void failureChanged(const QString& reason);

  private:
    struct Session;

    void tick();  // TIM_FILE_Timer
    bool startSession(const QString& nativePath, const FileIdentity& version,
                      std::unique_ptr<FileVersionMark::Claim> claim);
    bool copyVersion(Session& session, const QString& nativePath, const FileIdentity& version);
    bool openCopies(Session& session);
    void handOverNext();
    void finishSession();
    void fail(const QString& why);
    void succeed();
    void setStatus(const QString& text, StatusRole role);

    QString path_ = QStringLiteral("C:\\FILE_IN.TXT");
    QString status_ = QStringLiteral("CLOSE");
    StatusRole role_ = StatusRole::Ordinary;
    QTimer pollTimer_;
    QTimer pauseTimer_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<FileVersionMark> mark_;
    QString lastFailure_;
};

}  // namespace kest
