#include "platform/LogFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

#include "platform/DosPaths.h"

namespace kest {

namespace {

LogFile* installedLog = nullptr;

const char* kindOf(QtMsgType type) {
    switch (type) {
        case QtWarningMsg:
            return "warning";
        case QtCriticalMsg:
            return "error";
        case QtFatalMsg:
            return "fatal";
        case QtInfoMsg:
            return "info";
        default:
            return "debug";
    }
}

}  // namespace

LogFile::LogFile(QString path, qint64 limitBytes)
    : path_(std::move(path)), limit_(std::max<qint64>(limitBytes, 1)) {}

LogFile::~LogFile() {
    if (installed_) {
        qInstallMessageHandler(previous_);
        installedLog = nullptr;
    }
}

QString LogFile::pathFor(const QString& instanceSuffix) {
    return dos::baseDirectory() + QStringLiteral("/kest-redirect") + instanceSuffix +
           QStringLiteral(".log");
}

void LogFile::install() {
    if (installed_) return;
    installedLog = this;
    installed_ = true;
    previous_ = qInstallMessageHandler(&LogFile::handle);
}

void LogFile::handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    LogFile* log = installedLog;
    if (log && (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg))
        log->write(type, message);
    if (log && log->previous_) {
        log->previous_(type, context, message);
    } else {
        // Qt's own handler, as if none had been installed.
        qInstallMessageHandler(nullptr);
        qt_message_output(type, context, message);
        qInstallMessageHandler(&LogFile::handle);
    }
}

void LogFile::write(QtMsgType type, const QString& message) {
    QMutexLocker lock(&mutex_);
    QByteArray line = QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + ' ' +
                      kindOf(type) + ": " + message.toUtf8();
    // One line per message, whatever the message holds.
    line.replace('\n', ' ').replace('\r', ' ');
    line.append('\n');
    // A single line larger than the whole file is cut, not allowed to break the bound.
    if (line.size() > limit_) line = line.left(limit_ - 1) + '\n';
    if (!file_.isOpen() && !openForAppend()) return;
    if (file_.size() + line.size() > limit_) {
        rotate();
        if (!file_.isOpen()) return;
    }
    file_.write(line);
    file_.flush();
}

bool LogFile::openForAppend() {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    file_.setFileName(path_);
    // Failing to log is said nowhere: a warning here would come straight back.
    return file_.open(QIODevice::WriteOnly | QIODevice::Append);
}

void LogFile::rotate() {
    file_.close();
    const QString older = path_ + QStringLiteral(".1");
    QFile::remove(older);
    if (!QFile::rename(path_, older)) QFile::remove(path_);  // the bound holds either way
    openForAppend();
}

}  // namespace kest
