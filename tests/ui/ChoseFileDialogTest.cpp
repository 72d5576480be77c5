// The file chooser: drives, folders and files as lists, the path written at a click.
#include <QLineEdit>

#include "ui/ChoseFileDialog.h"
#include "ui/OffscreenApp.h"

namespace kest {
namespace {

using test::itemsOf;

void touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

// The middle of a list's row, where a click lands.
QPoint rowAt(QListWidget* list, const QString& text) {
    const auto found = list->findItems(text, Qt::MatchExactly);
    EXPECT_FALSE(found.isEmpty()) << text.toStdString();
    return found.isEmpty() ? QPoint() : list->visualItemRect(found.first()).center();
}

void clickItem(QListWidget* list, const QString& text) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowAt(list, text));
}

// A double-click as the mouse makes it: a click, then the second press as a double-click.
void doubleClickItem(QListWidget* list, const QString& text) {
    clickItem(list, text);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowAt(list, text));
}

class ChooserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        driveC = home.base() + "/drive_c";
        ASSERT_TRUE(QDir().mkpath(driveC + "/DATA/Sub"));
        ASSERT_TRUE(QDir().mkpath(home.base() + "/dosdevices"));
        touch(driveC + "/FILE_IN.TXT");
        touch(driveC + "/DATA/scan.txt");
        touch(driveC + "/DATA/.hidden");
        ASSERT_TRUE(QDir().mkpath(driveC + "/DATA/.git"));
    }

    QApplication* app = test::offscreenApp();  // before any widget member
    test::ConfigHome home;
    QString driveC;
    QLineEdit field;
};

TEST_F(ChooserTest, OpensWhereAUsablePathLeadsWithoutHiddenEntriesElseOnDriveCRoot) {
    {
        F_CHOSE_FILE chooser;
        chooser.prepare("C:\\FILE_IN.TXT");  // a file: the lists stay at its directory
        EXPECT_EQ(chooser.directoryPath(), "C:\\");
        EXPECT_EQ(itemsOf(chooser.FILE_FILE), QStringList{"FILE_IN.TXT"});
        EXPECT_EQ(itemsOf(chooser.DIR_FILE), (QStringList{"C:\\", "  DATA"}));
        chooser.prepare("c:/DATA/");
        EXPECT_EQ(chooser.directoryPath(), "C:\\DATA");
        EXPECT_EQ(itemsOf(chooser.FILE_FILE), QStringList{"scan.txt"});
        EXPECT_EQ(itemsOf(chooser.DIR_FILE), (QStringList{"C:\\", "  DATA", "    Sub"}));
        // A path that leads nowhere usable changes nothing.
        for (const char* path : {"", "relative.txt", "Q:\\x", "C:\\missing\\dir", "*?:\\"}) {
            chooser.prepare(path);
            EXPECT_EQ(chooser.directoryPath(), "C:\\DATA") << path;
        }
    }
    QDir(driveC).removeRecursively();  // drive_c is made on first use
    F_CHOSE_FILE chooser;
    EXPECT_EQ(chooser.DRV_FILE->currentText(), "c:");
    EXPECT_EQ(chooser.directoryPath(), "C:\\");
    EXPECT_TRUE(QFileInfo(driveC).isDir());
}

TEST_F(ChooserTest, ClickWritesTheJoinedPathAtOnceMovingThroughDirectoriesWritesNothing) {
    F_CHOSE_FILE chooser;
    chooser.setTarget(&field);
    chooser.show();
    doubleClickItem(chooser.DIR_FILE, "  DATA");
    EXPECT_EQ(chooser.directoryPath(), "C:\\DATA");
    EXPECT_EQ(itemsOf(chooser.FILE_FILE), QStringList{"scan.txt"});
    EXPECT_EQ(field.text(), "");
    // Native paths use the root drive; one separator at a root.
    QTemporaryDir native;
    touch(native.path() + "/native.txt");
    const QString nativeDir = QDir::cleanPath(native.path());
    const struct {
        QString directory, file, written;
    } clicks[] = {{"C:\\DATA", "scan.txt", "C:\\DATA\\scan.txt"},
                  {"C:\\", "FILE_IN.TXT", "C:\\FILE_IN.TXT"},
                  {native.path(), "native.txt", nativeDir + "/native.txt"}};
    for (const auto& click : clicks) {
        chooser.prepare(click.directory);
        clickItem(chooser.FILE_FILE, click.file);
        EXPECT_EQ(field.text(), click.written);
    }
    EXPECT_EQ(chooser.DRV_FILE->currentText(), "/");
    chooser.prepare("/");
    EXPECT_EQ(chooser.DIR_FILE->item(0)->text(), "/");
}

TEST_F(ChooserTest, DrivesAreTheDosDevicesWithCAlwaysAndTheRootAndChangingOneMovesTheLists) {
    QTemporaryDir elsewhere;
    touch(elsewhere.path() + "/reader.log");
    const QString devices = home.base() + "/dosdevices/";
    ASSERT_TRUE(QFile::link(elsewhere.path(), devices + "d:"));
    ASSERT_TRUE(QDir().mkpath(devices + "E:"));
    ASSERT_TRUE(QFile::link("/nonexistent/kest", devices + "f:"));
    ASSERT_TRUE(QFile::link("/nonexistent/kest", devices + "c:"));
    ASSERT_TRUE(QFile::link("/dev/null", devices + "com1"));
    ASSERT_TRUE(QDir().mkpath(devices + "notes"));
    EXPECT_EQ(F_CHOSE_FILE::driveNames(), (QStringList{"c:", "d:", "e:", "f:", "/"}));

    // Opened on a C: that leads nowhere, the lists stay empty and other drives still work.
    F_CHOSE_FILE chooser;
    EXPECT_EQ(chooser.FILE_FILE->count() + chooser.DIR_FILE->count(), 0);
    chooser.DRV_FILE->setCurrentText("d:");
    EXPECT_EQ(chooser.directoryPath(), "D:\\");
    EXPECT_EQ(itemsOf(chooser.FILE_FILE), QStringList{"reader.log"});
    // A drive whose link leads nowhere cannot be listed: the chain stays as it was.
    chooser.DRV_FILE->setCurrentText("f:");
    EXPECT_EQ(chooser.drive(), "d:");
    EXPECT_EQ(chooser.DRV_FILE->currentText(), "d:");
    EXPECT_EQ(chooser.directoryPath(), "D:\\");
    chooser.DRV_FILE->setCurrentText("/");
    EXPECT_EQ(chooser.directoryPath(), "/");
}

// The chooser opens where the field leads; closing by any means keeps the path
// clicked, and there is no cancel.
TEST_F(ChooserTest, DoubleClickWritesAndClosesOkChangesNothingAndThereIsNoCancel) {
    const struct {
        const char* start;
        std::function<void(F_CHOSE_FILE*)> close;
        const char* written;
    } closings[] = {
        {"C:\\DATA", [](F_CHOSE_FILE* c) { doubleClickItem(c->FILE_FILE, "scan.txt"); },
         "C:\\DATA\\scan.txt"},
        {"C:\\DATA",
         [](F_CHOSE_FILE* c) {
             clickItem(c->FILE_FILE, "scan.txt");
             QTest::keyClick(c, Qt::Key_Escape);
         },
         "C:\\DATA\\scan.txt"},
        {"C:\\FILE_IN.TXT", [](F_CHOSE_FILE* c) { c->B_OK->click(); }, "C:\\FILE_IN.TXT"}};
    for (const auto& closing : closings) {
        field.setText(closing.start);
        test::whenModalOpens([&](QWidget* window) {
            auto* chooser = qobject_cast<F_CHOSE_FILE*>(window);
            ASSERT_NE(chooser, nullptr);
            closing.close(chooser);
            EXPECT_FALSE(chooser->isVisible());
        });
        F_CHOSE_FILE::chooseInto(nullptr, &field);
        EXPECT_EQ(field.text(), closing.written);
    }
}

}  // namespace
}  // namespace kest
