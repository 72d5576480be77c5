// The platform services as the program uses them, on the platform the test runs on
// (Linux, or Windows under Wine): the instance guard, the file-version mark and its
// claim, the file identity, the crash-safe save's steps.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/DurableFiles.h"
#include "platform/FileIdentity.h"
#include "platform/FileVersionMark.h"
#include "platform/InstanceGuard.h"

namespace kest {
namespace {

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// An unnamed copy ends beside any running copy; named copies always run. The guard is
// free again when the copies end, and another key is another set of copies.
TEST(InstanceGuardTest, UnnamedCopyEndsBesideAnyRunningCopyUntilItEnds) {
    QTemporaryDir dir;
    const QString key = dir.path() + "/instances.lock";
    for (const bool firstUnnamed : {true, false}) {
        InstanceGuard first(key);
        ASSERT_TRUE(first.enter(firstUnnamed));
        InstanceGuard unnamed(key), named(key), elsewhere(dir.path() + "/other.lock");
        EXPECT_FALSE(unnamed.enter(true)) << firstUnnamed;
        EXPECT_TRUE(named.enter(false)) << firstUnnamed;
        EXPECT_TRUE(elsewhere.enter(true)) << firstUnnamed;
    }
    InstanceGuard again(key);
    EXPECT_TRUE(again.enter(true));
}

// A version is processed once, also after a restart; the next write is a new version.
// One copy at a time holds the claim on a directory.
TEST(FileVersionMarkTest, AVersionIsProcessedOnceAndOneCopyHoldsTheClaim) {
    QTemporaryDir dir;
    const QString watched = dir.path() + "/FILE_IN.TXT";
    writeFile(watched, "12345\r\n");
    auto mark = makeFileVersionMark(dir.path() + "/marks");
    QString error;
    auto claim = mark->tryClaim(watched, &error);
    ASSERT_TRUE(claim) << error.toStdString();
    const QByteArray first = identityKey(*readFileIdentity(watched));
    ASSERT_FALSE(claim->isProcessed(first));
    ASSERT_TRUE(claim->markProcessed(first, &error)) << error.toStdString();
    EXPECT_TRUE(claim->isProcessed(identityKey(*readFileIdentity(watched))));
    auto restarted = makeFileVersionMark(dir.path() + "/marks");
    EXPECT_FALSE(restarted->tryClaim(dir.path() + "/b.txt", &error));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    claim.reset();

    claim = restarted->tryClaim(watched, &error);
    ASSERT_TRUE(claim) << error.toStdString();
    EXPECT_TRUE(claim->isProcessed(identityKey(*readFileIdentity(watched))));
    writeFile(watched, "12345\r\n678\r\n");
    EXPECT_FALSE(claim->isProcessed(identityKey(*readFileIdentity(watched))));
}

// What the file channel goes by: a regular file or not, read-only or not (that a write
// makes a new version, the file-version mark's test shows).
TEST(FileIdentityTest, TellsFilesFromTheRestAndReadOnlyFromWritable) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/in.txt";
    EXPECT_FALSE(readFileIdentity(path));
    writeFile(path, "abc");
    const auto before = readFileIdentity(path);
    ASSERT_TRUE(before);
    EXPECT_TRUE(before->regular);
    EXPECT_FALSE(before->readOnly);
    EXPECT_FALSE(before->hidden);
    EXPECT_EQ(before->size, 3);
    const auto folder = readFileIdentity(dir.path());
    ASSERT_TRUE(folder);
    EXPECT_FALSE(folder->regular);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser));
    EXPECT_TRUE(readFileIdentity(path)->readOnly);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST(DurableFilesTest, WriteThenReplaceLeavesTheNewFileWhole) {
    QTemporaryDir dir;
    const QString target = dir.path() + "/GENERAL.CFG";
    const QString pending = target + ".new";
    writeFile(target, "old\r\n");
    const std::string bytes("0.2\r\n\xE9\r\n", 7);
    std::string error;
    {
        durable::SaveLock lock(fsPath(dir.path()));
        ASSERT_TRUE(durable::writeFile(fsPath(pending), bytes, &error)) << error;
        ASSERT_TRUE(durable::replaceFile(fsPath(pending), fsPath(target), &error)) << error;
        durable::syncDirectory(fsPath(dir.path()));
    }
    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray::fromStdString(bytes));
    EXPECT_FALSE(QFile::exists(pending));
    // A second save takes the lock again once the first has let it go.
    durable::SaveLock again(fsPath(dir.path()));
    EXPECT_FALSE(durable::writeFile(fsPath(dir.path() + "/missing/x"), "x", &error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
    EXPECT_FALSE(durable::replaceFile(fsPath(pending), fsPath(target), &error));
}

}  // namespace
}  // namespace kest
