// The archive attribute as the file-version mark, against the fake kernel32: which
// attribute sets wait for processing, what marking leaves behind, the writes that
// come between the copy and the mark, a file system that keeps the bit (Wine), and
// the claim.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "FakeWin32Calls.h"
#include "platform/MarkRecords.h"
#include "platform/win32/Win32FileVersionMark.h"

namespace kest::win32 {
namespace {

constexpr std::uint32_t kNotContentIndexed = 0x2000;
const QString kWatched = QStringLiteral("/fake/dir/FILE_IN.TXT");
// The watched file as the mark names it in its calls (on Windows with a drive and "\").
const std::filesystem::path kFile = filesystemPath(marks::canonicalPath(kWatched));

// Each case starts with the watched file written once and claimed.
class Win32MarkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        calls.writeAsUser(kFile, "a\r\n");
        c = mark.tryClaim(kWatched, &error);
        ASSERT_TRUE(c) << error.toStdString();
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    }
    QByteArray currentKey() { return identityKey(*calls.fileIdentity(kFile)); }

    QTemporaryDir records;
    testing::FakeWin32Calls calls;
    Win32FileVersionMark mark{calls, records.path()};
    std::unique_ptr<FileVersionMark::Claim> c;
    QString error;
};

TEST(Win32MarkDecision, OnlyArchiveAmongTheDosAttributesWaits) {
    EXPECT_TRUE(isWaitingForProcessing(kAttrArchive));
    // Newer attributes say nothing about the version.
    EXPECT_TRUE(isWaitingForProcessing(kAttrArchive | kNotContentIndexed));
    EXPECT_FALSE(isWaitingForProcessing(0));
    EXPECT_FALSE(isWaitingForProcessing(kAttrNormal));
    for (const std::uint32_t keepAway : {kAttrReadOnly, kAttrHidden, kAttrSystem, kAttrDirectory})
        EXPECT_FALSE(isWaitingForProcessing(kAttrArchive | keepAway)) << keepAway;
}

TEST_F(Win32MarkTest, MarkingClearsOnlyTheArchiveBitUntilTheNextWrite) {
    calls.files[kFile].attributes |= kNotContentIndexed;
    const QByteArray first = currentKey();
    ASSERT_TRUE(c->markProcessed(first, &error)) << error.toStdString();
    EXPECT_EQ(calls.files[kFile].attributes, kNotContentIndexed);
    EXPECT_TRUE(c->isProcessed(first));

    calls.writeAsUser(kFile, "a\r\nb\r\n");
    EXPECT_FALSE(c->isProcessed(currentKey()));
    ASSERT_TRUE(c->markProcessed(currentKey(), &error));
    // A file with no attribute left gets "normal", the only way to say none.
    calls.files[kFile].attributes = kAttrArchive;
    calls.writeAsUser(kFile, "x");
    ASSERT_TRUE(c->markProcessed(currentKey(), &error));
    EXPECT_EQ(calls.files[kFile].attributes, kAttrNormal);
}

TEST_F(Win32MarkTest, AWriteAfterTheCopyKeepsTheFileWaiting) {
    const QByteArray copied = currentKey();
    // Written between the copy and the mark: the bit belongs to the newer version.
    calls.writeAsUser(kFile, "a\r\nb\r\n");
    ASSERT_TRUE(c->markProcessed(copied, &error)) << error.toStdString();
    EXPECT_FALSE(c->isProcessed(currentKey()));

    // Written in the very moment the bit is cleared.
    const QByteArray second = currentKey();
    calls.afterSetAttributes = [&] { calls.writeAsUser(kFile, "a\r\nb\r\nc\r\n"); };
    ASSERT_TRUE(c->markProcessed(second, &error)) << error.toStdString();
    EXPECT_FALSE(c->isProcessed(currentKey()));
    EXPECT_EQ(calls.files[kFile].attributes & kAttrArchive, kAttrArchive);
}

TEST_F(Win32MarkTest, WhereTheBitCannotBeClearedTheVersionIsRecorded) {
    calls.archiveBitSticks = true;
    const QByteArray first = currentKey();
    ASSERT_TRUE(c->markProcessed(first, &error)) << error.toStdString();
    ASSERT_EQ(calls.files[kFile].attributes & kAttrArchive, kAttrArchive);
    EXPECT_TRUE(c->isProcessed(first));
    c.reset();
    // Another copy, or the next run, sees the record too.
    Win32FileVersionMark other(calls, records.path());
    auto again = other.tryClaim(kWatched, &error);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->isProcessed(first));
    calls.writeAsUser(kFile, "a\r\nb\r\n");
    EXPECT_FALSE(again->isProcessed(currentKey()));
}

TEST_F(Win32MarkTest, AFailedClearSaysWhichFileAndWhy) {
    calls.setAttributeErrors.push_back(kErrorAccessDenied);
    EXPECT_FALSE(c->markProcessed(currentKey(), &error));
    EXPECT_TRUE(error.contains(kWatched)) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("error 5"))) << error.toStdString();
    EXPECT_FALSE(c->isProcessed(currentKey()));
    // A file gone since the tick looked is left for a later tick.
    calls.files.clear();
    EXPECT_TRUE(c->isProcessed("gone"));
    EXPECT_FALSE(c->markProcessed("gone", &error));
}

// Whatever the letter case, one claim per directory (one copy at a time is checked on
// the real calls too); a released claim leaves no handle open.
TEST_F(Win32MarkTest, OneClaimPerDirectoryWhateverTheLetterCase) {
    EXPECT_FALSE(mark.tryClaim(QStringLiteral("/FAKE/DIR/other.txt"), &error));
    EXPECT_TRUE(mark.tryClaim(QStringLiteral("/fake/elsewhere/in.txt"), &error));
    c.reset();
    EXPECT_EQ(calls.openHandles(), 0u);
}

}  // namespace
}  // namespace kest::win32
