// The log file: warnings and errors reach it (and standard error still), ordinary
// debug output does not, and it never grows past its bound.

#include <gtest/gtest.h>

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include "ChannelTestSupport.h"
#include "platform/LogFile.h"

namespace kest {
namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(LogFile, OnePerInstanceInTheBaseDirectory) {
    test::ConfigHome home;
    EXPECT_EQ(LogFile::pathFor(QString()), home.base() + "/kest-redirect.log");
    EXPECT_EQ(LogFile::pathFor("_Scanner_001"), home.base() + "/kest-redirect_Scanner_001.log");
}

TEST(LogFile, WarningsAndErrorsAreWrittenDebugOutputIsNot) {
    test::ConfigHome home;
    const QString path = LogFile::pathFor("_A");
    {
        LogFile log(path);
        log.install();
        qDebug() << "just chatter";
        qWarning() << "port lost:"
                   << "COM3";
        qCritical("cannot save\nthe configuration");
    }
    qWarning() << "after the log has closed";
    const QByteArray content = contentOf(path);
    EXPECT_FALSE(content.contains("just chatter"));
    EXPECT_TRUE(content.contains(" warning: port lost: COM3\n")) << content.toStdString();
    // One line per message.
    EXPECT_TRUE(content.contains(" error: cannot save the configuration\n"));
    EXPECT_FALSE(content.contains("after the log has closed"));
    EXPECT_EQ(content.count('\n'), 2);
}

TEST(LogFile, TurnsOverWhenFullAndStaysBounded) {
    test::ConfigHome home;
    const QString path = LogFile::pathFor(QString());
    constexpr qint64 kLimit = 1000;
    LogFile log(path, kLimit);
    for (int i = 0; i < 200; ++i)
        log.write(QtWarningMsg, QStringLiteral("message number %1").arg(i));
    log.write(QtCriticalMsg, QString(5000, u'x'));  // larger than the file may be
    log.write(QtWarningMsg, QStringLiteral("the last one"));
    EXPECT_LE(QFileInfo(path).size(), kLimit);
    EXPECT_LE(QFileInfo(path + ".1").size(), kLimit);
    EXPECT_FALSE(QFile::exists(path + ".2"));
    EXPECT_TRUE(contentOf(path).endsWith(" warning: the last one\n"));
}

}  // namespace
}  // namespace kest
