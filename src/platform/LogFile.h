#pragma once
// The log file: warnings and errors also go to a file, so that a copy started from the
// menu or at login, with no terminal, leaves a trace. One file per instance in the base
// directory (B/kest-redirect.log, B/kest-redirect_NAME.log for "/#NAME#"), bounded in
// size: when it would grow past its limit it becomes NAME.log.1 (replacing the older
// one) and a new file starts, so the two together never hold more than twice the limit.

#include <QFile>
#include <QMutex>
#include <QString>
#include <QtGlobal>

namespace kest {

class LogFile {
  public:
    static constexpr qint64 kDefaultLimitBytes = 1024 * 1024;

    explicit LogFile(QString path, qint64 limitBytes = kDefaultLimitBytes);
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // B/kest-redirect<instance suffix>.log
    static QString pathFor(const QString& instanceSuffix);

    // Makes this file Qt's message handler: every message still goes where it went
    // before (standard error), warnings, criticals and fatals also come here. Undone
    // by the destructor.
    void install();

    // Appends one line with its time and kind, turning the file over when it is full.
    void write(QtMsgType type, const QString& message);
    QString path() const { return path_; }

  private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);
    bool openForAppend();
    void rotate();

    QString path_;
    qint64 limit_;
    QFile file_;
    QMutex mutex_;  // Qt may report from its own threads
    QtMessageHandler previous_ = nullptr;
    bool installed_ = false;
};

}  // namespace kest
