#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ChannelTestSupport.h"
#include "channels/FileChannel.h"

namespace kest {
namespace {

using test::waitUntil;

class FileChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::qtApp();
        dir_ = home_.path() + "/watch/";
        QDir().mkpath(dir_);
        QObject::connect(&channel_, &FileChannel::textReceived, &channel_,
                         [this](const QByteArray& t) { received_.add(t); });
        QObject::connect(&channel_, &FileChannel::statusChanged, &channel_,
                         [this](const QString& s, StatusRole) { statuses_ << s; });
    }

    static void writeFile(const QString& path, const QByteArray& data, bool append = false) {
        QFile f(path);
        ASSERT_TRUE(f.open(append ? QIODevice::Append : QIODevice::WriteOnly));
        ASSERT_EQ(f.write(data), data.size());
    }

    static QByteArray readFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    // Waits until a processing has finished: the copy became FILE_LST.TMP.
    bool waitProcessed(const QString& dir, const QByteArray& content) {
        return waitUntil(
            [&] {
                return !channel_.isHandingOver() && readFile(dir + "FILE_LST.TMP") == content &&
                       !QFileInfo::exists(dir + "FILE_CPY.TMP");
            },
            8000);
    }

    test::QtAppFirst app_;  // before any QObject member
    test::ConfigHome home_;
    QString dir_;
    FileChannel channel_;
    test::Received received_;
    QStringList statuses_;
};

TEST_F(FileChannelTest, EmptyPathShowsDashesAndTouchesNothing) {
    channel_.setPath("   ");
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "-----"; }, 2000));
    EXPECT_EQ(channel_.statusRole(), StatusRole::Neutral);
    test::runEventsFor(700);
    EXPECT_EQ(statuses_, QStringList{"-----"});
}

TEST_F(FileChannelTest, MissingHiddenAndNonRegularFilesAreNotFound) {
    channel_.setPath(dir_ + "absent.txt");
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "Not Found"; }, 2000));
    EXPECT_EQ(channel_.statusRole(), StatusRole::Neutral);
    writeFile(dir_ + ".hidden", "x\r\n");
    channel_.setPath(dir_ + ".hidden");
    ASSERT_TRUE(mkfifo(QFile::encodeName(dir_ + "fifo").constData(), 0644) == 0);
    channel_.setPath(dir_ + "fifo");
    test::runEventsFor(700);
    channel_.setPath(dir_);
    test::runEventsFor(700);
    EXPECT_EQ(statuses_, QStringList{"Not Found"});
    EXPECT_TRUE(received_.texts.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir_ + "FILE_LST.TMP"));
}

TEST_F(FileChannelTest, AFileInAMissingFolderIsAnErrorThatSaysWhichFolder) {
    QStringList failures;
    QObject::connect(&channel_, &FileChannel::failureChanged, &channel_,
                     [&](const QString& why) { failures << why; });
    channel_.setPath(dir_ + "nowhere/in.txt");
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "Error"; }, 2000));
    EXPECT_EQ(channel_.statusRole(), StatusRole::Failure);
    const QString why = "the folder " + dir_ + "nowhere does not exist";
    EXPECT_EQ(channel_.failureReason(), why);
    test::runEventsFor(700);  // more ticks, the same failure: said once
    ASSERT_TRUE(QDir().mkpath(dir_ + "nowhere"));
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "Not Found"; }, 2000));
    EXPECT_EQ(channel_.failureReason(), "");
    EXPECT_EQ(failures, QStringList({why, ""}));
}

TEST_F(FileChannelTest, NewFileWholeThenOnlyAppendedLinesEachWithCarriageReturn) {
    const QString file = dir_ + "in.txt";
    writeFile(file, "L1\r\nL2\r\n");
    channel_.setPath(file);
    ASSERT_TRUE(waitProcessed(dir_, "L1\r\nL2\r\n"));
    EXPECT_EQ(channel_.status(), "Present");
    EXPECT_EQ(channel_.statusRole(), StatusRole::Success);
    EXPECT_EQ(received_.texts, (QList<QByteArray>{"L1\r", "L2\r"}));

    writeFile(file, "L3\r\nL4", true);
    ASSERT_TRUE(waitProcessed(dir_, "L1\r\nL2\r\nL3\r\nL4"));
    EXPECT_EQ(received_.texts, (QList<QByteArray>{"L1\r", "L2\r", "L3\r", "L4\r"}));
    // One line per pause: lines are paced, not poured.
    EXPECT_GE(received_.atMs[3] - received_.atMs[2], 95);
    test::runEventsFor(700);  // the processed version is not taken again
    EXPECT_EQ(received_.texts.size(), 4);
}

TEST_F(FileChannelTest, UnchangedSaveHandsNothingButReplacesTheLastCopy) {
    const QString file = dir_ + "in.txt";
    writeFile(file, "same\r\nlines\r\n");
    channel_.setPath(file);
    ASSERT_TRUE(waitProcessed(dir_, "same\r\nlines\r\n"));
    const auto firstCopy = QFileInfo(dir_ + "FILE_LST.TMP").fileTime(QFile::FileModificationTime);
    received_.texts.clear();
    writeFile(file, "same\r\nlines\r\n");
    ASSERT_TRUE(waitUntil(
        [&] {
            return QFileInfo(dir_ + "FILE_LST.TMP").fileTime(QFile::FileModificationTime) !=
                   firstCopy;
        },
        3000));
    EXPECT_TRUE(waitProcessed(dir_, "same\r\nlines\r\n"));
    EXPECT_TRUE(received_.texts.isEmpty());
}

TEST_F(FileChannelTest, ShortenedFileHandsNothingAndAChangedLineHandsItAndAllAfter) {
    const QString file = dir_ + "in.txt";
    writeFile(file, "a\rb\rc\r");
    channel_.setPath(file);
    ASSERT_TRUE(waitProcessed(dir_, "a\rb\rc\r"));
    received_.texts.clear();
    writeFile(file, "a\rb\r");
    ASSERT_TRUE(waitProcessed(dir_, "a\rb\r"));
    EXPECT_TRUE(received_.texts.isEmpty());
    writeFile(file, "a\rB\rc\nd\re");
    ASSERT_TRUE(waitProcessed(dir_, "a\rB\rc\nd\re"));
    EXPECT_EQ(received_.texts, (QList<QByteArray>{"B\r", "c\nd\r", "e\r"}));
}

TEST_F(FileChannelTest, ReadOnlyFileIsPresentButWaitsUntilWritable) {
    const QString file = dir_ + "in.txt";
    writeFile(file, "locked\r\n");
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0444), 0);
    channel_.setPath(file);
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "Present"; }, 2000));
    test::runEventsFor(800);
    EXPECT_TRUE(received_.texts.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir_ + "FILE_LST.TMP"));
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0644), 0);
    ASSERT_TRUE(waitProcessed(dir_, "locked\r\n"));
    EXPECT_EQ(received_.texts, QList<QByteArray>{"locked\r"});
}

TEST_F(FileChannelTest, FailedCopyShowsErrorAndIsRetriedUntilItWorks) {
    const QString file = dir_ + "in.txt";
    writeFile(file, "x\r\n");
    // A directory in the copy's place makes the copy fail, whoever runs the test.
    ASSERT_TRUE(QDir().mkpath(dir_ + "FILE_CPY.TMP/blocker"));
    channel_.setPath(file);
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "Error"; }, 2000));
    EXPECT_EQ(channel_.statusRole(), StatusRole::Failure);
    ASSERT_TRUE(QDir(dir_ + "FILE_CPY.TMP").removeRecursively());
    ASSERT_TRUE(waitProcessed(dir_, "x\r\n"));
    EXPECT_EQ(channel_.status(), "Present");
    EXPECT_EQ(received_.texts, QList<QByteArray>{"x\r"});
}

TEST_F(FileChannelTest, BareFileNameKeepsItsWorkFilesInTheCurrentDirectory) {
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_));
    writeFile(dir_ + "BARE.TXT", "bare\r\n");
    channel_.setPath("BARE.TXT");
    const bool done = waitProcessed(dir_, "bare\r\n");
    QDir::setCurrent(cwd);
    ASSERT_TRUE(done);
    EXPECT_EQ(received_.texts, QList<QByteArray>{"bare\r"});
}

TEST_F(FileChannelTest, DefaultDosPathLivesInDriveC) {
    const QString driveC = home_.base() + "/drive_c/";
    QDir().mkpath(driveC);
    writeFile(driveC + "FILE_IN.TXT", "dos\r\n");
    EXPECT_EQ(channel_.path(), "C:\\FILE_IN.TXT");
    ASSERT_TRUE(waitProcessed(driveC, "dos\r\n"));
    EXPECT_EQ(received_.texts, QList<QByteArray>{"dos\r"});
}

TEST_F(FileChannelTest, ReceiverRunningTheEventLoopGetsEachLineOnceInOrder) {
    // Like the pipeline: typing a line lets other events (and poll ticks) run.
    QObject::connect(&channel_, &FileChannel::textReceived, &channel_,
                     [](const QByteArray&) { test::runEventsFor(400); });
    const QString file = dir_ + "in.txt";
    writeFile(file, "1\r\n2\r\n3\r\n");
    channel_.setPath(file);
    ASSERT_TRUE(waitProcessed(dir_, "1\r\n2\r\n3\r\n"));
    writeFile(file, "4\r\n", true);
    ASSERT_TRUE(waitProcessed(dir_, "1\r\n2\r\n3\r\n4\r\n"));
    EXPECT_EQ(received_.texts, (QList<QByteArray>{"1\r", "2\r", "3\r", "4\r"}));
}

TEST_F(FileChannelTest, AFileWatchedAgainAfterAnotherIsNotTypedAgain) {
    writeFile(dir_ + "a.txt", "a1\r\na2\r\n");
    writeFile(dir_ + "b.txt", "b1\r\n");
    channel_.setPath(dir_ + "a.txt");
    ASSERT_TRUE(waitProcessed(dir_, "a1\r\na2\r\n"));
    channel_.setPath(dir_ + "b.txt");
    ASSERT_TRUE(waitProcessed(dir_, "b1\r\n"));
    channel_.setPath(dir_ + "a.txt");  // unchanged since it was processed
    test::runEventsFor(700);
    EXPECT_EQ(received_.texts, (QList<QByteArray>{"a1\r", "a2\r", "b1\r"}));
}

TEST_F(FileChannelTest, DeletedAndReplacedFilesRecover) {
    const QString file = dir_ + "in.txt";
    writeFile(file, "v1\r\n");
    channel_.setPath(file);
    ASSERT_TRUE(waitProcessed(dir_, "v1\r\n"));
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "Not Found"; }, 2000));
    writeFile(dir_ + "new.tmp", "v1\r\nv2\r\n");
    ASSERT_TRUE(QFile::rename(dir_ + "new.tmp", file));
    ASSERT_TRUE(waitProcessed(dir_, "v1\r\nv2\r\n"));
    EXPECT_EQ(received_.texts, (QList<QByteArray>{"v1\r", "v2\r"}));
}

TEST_F(FileChannelTest, CopiesWatchingOneFileHandEachVersionOverOnceAndARestartNothing) {
    const QString file = dir_ + "in.txt";
    writeFile(file, "s1\r\n");
    FileChannel other;  // a second copy of the program, polling the same file
    QObject::connect(&other, &FileChannel::textReceived, &other,
                     [this](const QByteArray& t) { received_.add(t); });
    other.setPath(file);
    channel_.setPath(file);
    ASSERT_TRUE(waitProcessed(dir_, "s1\r\n"));
    for (const QByteArray line : {"s2", "s3", "s4"}) {
        writeFile(file, line + "\r\n", true);
        ASSERT_TRUE(waitUntil([&] { return received_.joined().endsWith(line + "\r"); }, 5000));
    }
    test::runEventsFor(900);
    EXPECT_EQ(received_.texts, (QList<QByteArray>{"s1\r", "s2\r", "s3\r", "s4\r"}));
    FileChannel restarted;
    QObject::connect(&restarted, &FileChannel::textReceived, &restarted,
                     [this](const QByteArray& t) { received_.add(t); });
    restarted.setPath(file);
    test::runEventsFor(900);
    EXPECT_EQ(received_.texts.size(), 4);
}

TEST_F(FileChannelTest, AnUnfinishedLastLineWaitsForItsEndAndLinuxLineEndsEndLines) {
    const QString file = dir_ + "in.txt";
    writeFile(file, "a\nhalf");
    channel_.setPath(file);
    ASSERT_TRUE(waitUntil([this] { return received_.texts.size() == 1; }, 3000));
    writeFile(file, " whole\n", true);
    ASSERT_TRUE(waitProcessed(dir_, "a\nhalf whole\n"));
    EXPECT_EQ(received_.texts, (QList<QByteArray>{"a\r", "half whole\r"}));
}

}  // namespace
}  // namespace kest
