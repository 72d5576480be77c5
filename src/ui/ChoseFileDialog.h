#pragma once
// F_CHOSE_FILE: the small chooser behind the "..." button of the file channel. Drive,
// directory and file lists in a chain; a click in the file list writes the joined path
// into the path field at once, and there is no cancel.
//
// Drives are the platform's DOS drives (on Linux those of the base directory's
// dosdevices/, "c:" always; on Windows the system's drives) plus "/" for the native
// file system. On a DOS drive every path is shown in DOS form
// ("C:\DATA\IN.TXT"), as the path field shows it; on "/" paths are native.

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QString>
#include <QStringList>

namespace kest {

class F_CHOSE_FILE : public QDialog {
    Q_OBJECT

  public:
    explicit F_CHOSE_FILE(QWidget* parent = nullptr);

    // B_FILE_CHOSE_Click: prepares the chooser from the field's path, shows it modally
    // and lets file clicks write into the field.
    static void chooseInto(QWidget* parent, QLineEdit* INP_FILE_DIR);

    // The directory, a separator and the name, with no doubled separator at a root.
    static QString joinPath(const QString& directory, const QString& name);
    // The platform's drives, "a:".."z:" (dos::driveNames), then "/".
    static QStringList driveNames();

    // Steps 1 and 2 of B_FILE_CHOSE_Click: drive from the path's first character, then
    // directory and file lists at the path when it is a directory. Failures are ignored.
    void prepare(const QString& path);
    void setTarget(QLineEdit* field) { target_ = field; }

    // The chain, as the lists' properties: each returns false (and changes nothing)
    // when the drive or directory cannot be shown.
    QString drive() const { return drive_; }
    bool setDrive(const QString& drive);
    QString directoryPath() const { return dirPath_; }
    bool setDirectoryPath(const QString& path);
    QString filePath() const { return filePath_; }
    bool setFilePath(const QString& path);

    void DRV_FILE_Change();
    void DIR_FILE_Change();
    void FILE_FILE_Click();
    void FILE_FILE_DblClick();
    void B_OK_Click();

    QComboBox* DRV_FILE;
    QListWidget* DIR_FILE;
    QListWidget* FILE_FILE;
    QPushButton* B_OK;

  private:
    void buildControls();
    void fillDirectoryList();
    void fillFileList();
    QString normalisedPath(const QString& path) const;
    QString driveOf(const QString& path) const;

    QString drive_;
    QString dirPath_;
    QString filePath_;
    QLineEdit* target_ = nullptr;
    bool filling_ = false;
};

}  // namespace kest
