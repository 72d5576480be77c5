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
            20000);
    }

    test::QtAppFirst app_;  // before any QObject member
    test::ConfigHome home_;
    QString dir_;
    FileChannel channel_;
    test::Received received_;
    QStringList statuses_;
};

TEST_F(FileChannelTest, NoPathMissingHiddenAndNonRegularFilesAreNeverTouched) {
    channel_.setPath("   ");
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "-----"; }, 10000));
    EXPECT_EQ(channel_.statusRole(), StatusRole::Neutral);
    channel_.setPath(dir_ + "absent.txt");
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "Not Found"; }, 10000));
    EXPECT_EQ(channel_.statusRole(), StatusRole::Neutral);
    writeFile(dir_ + ".hidden", "x\r\n");
    channel_.setPath(dir_ + ".hidden");
    ASSERT_TRUE(mkfifo(QFile::encodeName(dir_ + "fifo").constData(), 0644) == 0);
    channel_.setPath(dir_ + "fifo");
    test::runEventsFor(700);
    channel_.setPath(dir_);
    test::runEventsFor(700);
    EXPECT_EQ(statuses_, (QStringList{"-----", "Not Found"}));
    EXPECT_TRUE(received_.texts.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir_ + "FILE_LST.TMP"));

    // A file in a missing folder is an error that names the folder, said once.
    QStringList failures;
    QObject::connect(&channel_, &FileChannel::failureChanged, &channel_,
                     [&](const QString& why) { failures << why; });
    channel_.setPath(dir_ + "nowhere/in.txt");
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "Error"; }, 10000));
    EXPECT_EQ(channel_.statusRole(), StatusRole::Failure);
    const QString why = "the folder " + dir_ + "nowhere does not exist";
    EXPECT_EQ(channel_.failureReason(), why);
    test::runEventsFor(700);  // more ticks, the same failure
    ASSERT_TRUE(QDir().mkpath(dir_ + "nowhere"));
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "Not Found"; }, 10000));
    EXPECT_EQ(channel_.failureReason(), "");
    EXPECT_EQ(failures, QStringList({why, ""}));
    channel_.setPath(dir_ + "in?.txt");  // a pattern is no file name
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "Error"; }, 10000));
    EXPECT_TRUE(channel_.failureReason().startsWith("wildcard in "));
}

TEST_F(FileChannelTest, NewFileWholeThenOnlyAppendedLinesEachWithCarriageReturn) {
    const QString file = dir_ + "in.txt";
    writeFile(file, "L1\nL2\n");  // Linux line ends
    channel_.setPath(file);
    ASSERT_TRUE(waitProcessed(dir_, "L1\nL2\n"));
    EXPECT_EQ(channel_.status(), "Present");
    EXPECT_EQ(channel_.statusRole(), StatusRole::Success);
    EXPECT_EQ(received_.texts, (QList<QByteArray>{"L1\r", "L2\r"}));
    // One line per pause: lines are paced, not poured (a coarse timer may fire 5 % early).
    EXPECT_GE(received_.atMs[1] - received_.atMs[0], FileChannel::kLinePauseMs * 9 / 10);

    // An unfinished last line waits for its end, or for the file to be left alone.
    writeFile(file, "L3\nhal", true);
    ASSERT_TRUE(waitUntil([this] { return received_.texts.size() == 3; }, 10000));
    writeFile(file, "f\ntail", true);
    ASSERT_TRUE(waitProcessed(dir_, "L1\nL2\nL3\nhalf\ntail"));
    test::runEventsFor(700);  // the processed version is not taken again
    EXPECT_EQ(received_.texts, (QList<QByteArray>{"L1\r", "L2\r", "L3\r", "half\r", "tail\r"}));
}

TEST_F(FileChannelTest, SavesWithNoNewLineHandNothingAndAChangedLineHandsItAndAllAfter) {
    const QString file = dir_ + "in.txt";
    writeFile(file, "a\rb\rc\r");
    channel_.setPath(file);
    ASSERT_TRUE(waitProcessed(dir_, "a\rb\rc\r"));
    const auto firstCopy = QFileInfo(dir_ + "FILE_LST.TMP").fileTime(QFile::FileModificationTime);
    received_.texts.clear();
    writeFile(file, "a\rb\rc\r");  // unchanged: the last copy is still replaced
    ASSERT_TRUE(waitUntil(
        [&] {
            return QFileInfo(dir_ + "FILE_LST.TMP").fileTime(QFile::FileModificationTime) !=
                   firstCopy;
        },
        10000));
    ASSERT_TRUE(waitProcessed(dir_, "a\rb\rc\r"));
    writeFile(file, "a\rb\r");
    ASSERT_TRUE(waitProcessed(dir_, "a\rb\r"));
    EXPECT_TRUE(received_.texts.isEmpty());
    writeFile(file, "a\rB\rc\nd\re");
    ASSERT_TRUE(waitProcessed(dir_, "a\rB\rc\nd\re"));
    // Deleted, then replaced by a file renamed into its place: compared all the same.
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "Not Found"; }, 10000));
    writeFile(dir_ + "new.tmp", "a\rB\rc\nd\re\rf\r");
    ASSERT_TRUE(QFile::rename(dir_ + "new.tmp", file));
    ASSERT_TRUE(waitProcessed(dir_, "a\rB\rc\nd\re\rf\r"));
    EXPECT_EQ(received_.texts, (QList<QByteArray>{"B\r", "c\nd\r", "e\r", "f\r"}));
}

TEST_F(FileChannelTest, AFileThatCannotBeTakenYetWaitsAndIsTakenOnceItCan) {
    const QString file = dir_ + "in.txt";
    writeFile(file, "locked\r\n");
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0444), 0);
    channel_.setPath(file);
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "Present"; }, 10000));
    test::runEventsFor(800);
    EXPECT_TRUE(received_.texts.isEmpty()) << "a read-only file was taken";
    EXPECT_FALSE(QFileInfo::exists(dir_ + "FILE_LST.TMP"));
    // A directory in the copy's place makes the copy fail, whoever runs the test.
    ASSERT_TRUE(QDir().mkpath(dir_ + "FILE_CPY.TMP/blocker"));
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0644), 0);
    ASSERT_TRUE(waitUntil([this] { return channel_.status() == "Error"; }, 10000));
    EXPECT_EQ(channel_.statusRole(), StatusRole::Failure);
    ASSERT_TRUE(QDir(dir_ + "FILE_CPY.TMP").removeRecursively());
    ASSERT_TRUE(waitProcessed(dir_, "locked\r\n"));
    EXPECT_EQ(channel_.status(), "Present");
    EXPECT_EQ(received_.texts, QList<QByteArray>{"locked\r"});
}

TEST_F(FileChannelTest, TheDefaultDosPathLivesInDriveCAndABareNameInTheCurrentDirectory) {
    const QString driveC = home_.base() + "/drive_c/";
    QDir().mkpath(driveC);
    writeFile(driveC + "FILE_IN.TXT", "dos\r\n");
    EXPECT_EQ(channel_.path(), "C:\\FILE_IN.TXT");
    ASSERT_TRUE(waitProcessed(driveC, "dos\r\n"));

    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_));
    writeFile(dir_ + "BARE.TXT", "bare\r\n");
    channel_.setPath("BARE.TXT");
    const bool done = waitProcessed(dir_, "bare\r\n");
    QDir::setCurrent(cwd);
    ASSERT_TRUE(done);
    EXPECT_EQ(received_.texts, (QList<QByteArray>{"dos\r", "bare\r"}));
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

TEST_F(FileChannelTest, EachVersionIsHandedOverOnceWhateverCopiesRestartsOrPathChangesCome) {
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
        ASSERT_TRUE(waitUntil([&] { return received_.joined().endsWith(line + "\r"); }, 10000));
    }
    FileChannel restarted;
    QObject::connect(&restarted, &FileChannel::textReceived, &restarted,
                     [this](const QByteArray& t) { received_.add(t); });
    restarted.setPath(file);
    // Watching another file and then this one again types nothing of it either.
    writeFile(dir_ + "b.txt", "b1\r\n");
    channel_.setPath(dir_ + "b.txt");
    ASSERT_TRUE(waitUntil([this] { return received_.texts.size() >= 5; }, 10000));
    channel_.setPath(file);
    test::runEventsFor(900);
    EXPECT_EQ(received_.texts, (QList<QByteArray>{"s1\r", "s2\r", "s3\r", "s4\r", "b1\r"}));
}

}  // namespace
}  // namespace kest
