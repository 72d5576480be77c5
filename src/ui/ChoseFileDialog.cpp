#include "ui/ChoseFileDialog.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>

#include "platform/DosPaths.h"

namespace kest {

namespace {

constexpr int kIndentSpaces = 2;
const QString kNativeDrive = QStringLiteral("/");

bool isNative(const QString& path) {
    return path.startsWith(QLatin1Char('/'));
}

QChar separatorOf(const QString& path) {
    return isNative(path) ? QLatin1Char('/') : QLatin1Char('\\');
}

// A DOS path cannot carry a name with a backslash in it: such entries of a Linux
// directory are left out under DOS drives, since the path field could not name them.
bool showable(const QString& directory, const QString& name) {
    return isNative(directory) || !name.contains(QLatin1Char('\\'));
}

QStringList entries(const QString& directory, QDir::Filters kind) {
    const QDir dir(dos::nativePath(directory));
    QStringList names = dir.entryList(kind | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const QString& n) { return !showable(directory, n); }),
                names.end());
    return names;
}

// The directory and its ancestors, root first: "C:\A\B" gives "C:\", "C:\A", "C:\A\B".
QStringList ancestry(const QString& directory) {
    const QChar sep = separatorOf(directory);
    const int rootLength = isNative(directory) ? 1 : 3;
    QStringList chain{directory.left(rootLength)};
    for (int i = rootLength; i <= directory.size(); ++i) {
        if (i == directory.size() || directory.at(i) == sep) chain << directory.left(i);
    }
    if (chain.size() > 1 && chain.last() == chain.first()) chain.removeLast();
    return chain;
}

}  // namespace

F_CHOSE_FILE::F_CHOSE_FILE(QWidget* parent)
    : QDialog(parent),
      DRV_FILE(new QComboBox(this)),
      DIR_FILE(new QListWidget(this)),
      FILE_FILE(new QListWidget(this)),
      B_OK(new QPushButton(QStringLiteral("OK"), this)) {
    buildControls();
    setDrive(QStringLiteral("c:"));
}

void F_CHOSE_FILE::chooseInto(QWidget* parent, QLineEdit* INP_FILE_DIR) {
    F_CHOSE_FILE chooser(parent);
    chooser.setTarget(INP_FILE_DIR);
    if (INP_FILE_DIR) chooser.prepare(INP_FILE_DIR->text());
    chooser.exec();
}

QString F_CHOSE_FILE::joinPath(const QString& directory, const QString& name) {
    const QChar sep = separatorOf(directory);
    if (directory.endsWith(sep)) return directory + name;
    return directory + sep + name;
}

QStringList F_CHOSE_FILE::driveNames() {
    QStringList drives = dos::driveNames();
    drives << kNativeDrive;
    return drives;
}

void F_CHOSE_FILE::prepare(const QString& path) {
    // The drive comes from the first character only, as the field's path names it.
    const QString drive = isNative(path) ? kNativeDrive : path.left(1) + QLatin1Char(':');
    if (!setDrive(drive)) qDebug() << "F_CHOSE_FILE: no drive" << drive << "for" << path;
    // A file path is no directory: the lists then stay at the drive.
    if (!setDirectoryPath(path)) return;
    setFilePath(path);
}

bool F_CHOSE_FILE::setDrive(const QString& drive) {
    const QString wanted = drive.toLower();
    if (!driveNames().contains(wanted)) return false;
    if (wanted == drive_) return true;
    const QString previous = drive_;
    drive_ = wanted;
    DRV_FILE_Change();
    if (driveOf(dirPath_) == drive_) {
        QSignalBlocker block(DRV_FILE);
        DRV_FILE->setCurrentText(drive_);
        return true;
    }
    qWarning() << "F_CHOSE_FILE: drive" << wanted << "cannot be listed, staying on" << previous;
    drive_ = previous;
    QSignalBlocker block(DRV_FILE);
    DRV_FILE->setCurrentText(drive_);
    return false;
}

bool F_CHOSE_FILE::setDirectoryPath(const QString& path) {
    const QString wanted = normalisedPath(path);
    if (wanted.isEmpty()) return false;
    const QFileInfo info(dos::nativePath(wanted));
    if (!info.isDir() || !info.isExecutable()) return false;
    if (wanted == dirPath_) return true;
    dirPath_ = wanted;
    if (driveOf(dirPath_) != drive_) {
        drive_ = driveOf(dirPath_);
        QSignalBlocker block(DRV_FILE);
        DRV_FILE->setCurrentText(drive_);
    }
    fillDirectoryList();
    DIR_FILE_Change();
    return true;
}

bool F_CHOSE_FILE::setFilePath(const QString& path) {
    const QString wanted = normalisedPath(path);
    if (wanted.isEmpty() || !QFileInfo(dos::nativePath(wanted)).isDir()) return false;
    filePath_ = wanted;
    fillFileList();
    return true;
}

void F_CHOSE_FILE::DRV_FILE_Change() {
    const QString root = drive_ == kNativeDrive ? kNativeDrive : drive_.toUpper() + u'\\';
    if (!setDirectoryPath(root)) qWarning() << "F_CHOSE_FILE: cannot list" << root;
}

void F_CHOSE_FILE::DIR_FILE_Change() {
    if (!setFilePath(dirPath_)) qWarning() << "F_CHOSE_FILE: cannot list files of" << dirPath_;
}

void F_CHOSE_FILE::FILE_FILE_Click() {
    const QListWidgetItem* item = FILE_FILE->currentItem();
    if (!item || !item->isSelected() || !target_) return;
    target_->setText(joinPath(filePath_, item->text()));
}

void F_CHOSE_FILE::FILE_FILE_DblClick() {
    FILE_FILE_Click();
    accept();
}

void F_CHOSE_FILE::B_OK_Click() {
    accept();
}

void F_CHOSE_FILE::buildControls() {
    setObjectName(QStringLiteral("F_CHOSE_FILE"));
    setWindowTitle(QStringLiteral("Chose input File"));
    DRV_FILE->setObjectName(QStringLiteral("DRV_FILE"));
    DIR_FILE->setObjectName(QStringLiteral("DIR_FILE"));
    FILE_FILE->setObjectName(QStringLiteral("FILE_FILE"));
    B_OK->setObjectName(QStringLiteral("B_OK"));
    B_OK->setDefault(true);
    {
        QSignalBlocker block(DRV_FILE);
        DRV_FILE->addItems(driveNames());
        DRV_FILE->setCurrentIndex(-1);
    }

    auto* layout = new QGridLayout(this);
    layout->addWidget(DIR_FILE, 0, 0);
    layout->addWidget(DRV_FILE, 1, 0);
    layout->addWidget(FILE_FILE, 0, 1, 2, 1);
    layout->addWidget(B_OK, 2, 1, Qt::AlignRight);
    resize(460, 320);

    connect(DRV_FILE, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (!filling_) setDrive(text);
    });
    connect(DIR_FILE, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (item) setDirectoryPath(item->data(Qt::UserRole).toString());
    });
    connect(FILE_FILE, &QListWidget::itemSelectionChanged, this, [this] {
        if (!filling_) FILE_FILE_Click();
    });
    connect(FILE_FILE, &QListWidget::itemDoubleClicked, this, [this] { FILE_FILE_DblClick(); });
    connect(B_OK, &QPushButton::clicked, this, [this] { B_OK_Click(); });
}

void F_CHOSE_FILE::fillDirectoryList() {
    filling_ = true;
    DIR_FILE->clear();
    // Open folders for the path down to the current directory, closed ones below it.
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QStringList chain = ancestry(dirPath_);
    int level = 0;
    for (const QString& dir : chain) {
        const QString name = level == 0 ? dir : dir.mid(dir.lastIndexOf(separatorOf(dir)) + 1);
        auto* item =
            new QListWidgetItem(open, QString(level * kIndentSpaces, u' ') + name, DIR_FILE);
        item->setData(Qt::UserRole, dir);
        ++level;
    }
    DIR_FILE->setCurrentRow(DIR_FILE->count() - 1);
    for (const QString& name : entries(dirPath_, QDir::Dirs)) {
        auto* item =
            new QListWidgetItem(closed, QString(level * kIndentSpaces, u' ') + name, DIR_FILE);
        item->setData(Qt::UserRole, joinPath(dirPath_, name));
    }
    filling_ = false;
}

void F_CHOSE_FILE::fillFileList() {
    filling_ = true;
    FILE_FILE->clear();
    FILE_FILE->addItems(entries(filePath_, QDir::Files));
    filling_ = false;
}

QString F_CHOSE_FILE::normalisedPath(const QString& path) const {
    if (isNative(path)) return QDir::cleanPath(path);
    if (!dos::isDosPath(path)) return {};
    QString rest = path.mid(2);
    rest.replace(u'\\', u'/');
    rest = QDir::cleanPath(QLatin1Char('/') + rest);
    if (rest.startsWith(QStringLiteral("/.."))) return {};
    rest.replace(u'/', u'\\');
    return path.left(1).toUpper() + u':' + rest;
}

QString F_CHOSE_FILE::driveOf(const QString& path) const {
    if (path.isEmpty()) return {};
    return isNative(path) ? kNativeDrive : path.left(1).toLower() + u':';
}

}  // namespace kest
