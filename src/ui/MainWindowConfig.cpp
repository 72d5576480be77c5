#include "ui/MainWindowConfig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <cerrno>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include "ui/MainWindow.h"
#include "ui/WindowWidgets.h"

namespace kest {

namespace {

std::vector<std::string> rows(const QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) out.push_back(toCp1252(list->item(i)->text()));
    return out;
}

}  // namespace

std::string MainWindowConfig::instanceSuffix() const {
    return toCp1252(w_.AFF_INSTANCE->text());
}
std::vector<std::string> MainWindowConfig::searchRows() const {
    return rows(w_.LST_TOUCHES[0]);
}
std::vector<std::string> MainWindowConfig::replaceRows() const {
    return rows(w_.LST_TOUCHES[1]);
}
std::vector<std::string> MainWindowConfig::removeRows() const {
    return rows(w_.LST_REMOVE_CAR);
}

void MainWindowConfig::appendSearchRow(const std::string& row) {
    w_.LST_TOUCHES[0]->addItem(fromCp1252(row));
}

void MainWindowConfig::appendReplaceRow(const std::string& row) {
    w_.LST_TOUCHES[1]->addItem(fromCp1252(row));
}

void MainWindowConfig::appendRemoveRow(const std::string& row) {
    w_.LST_REMOVE_CAR->addItem(fromCp1252(row));
}

std::string MainWindowConfig::text(Text which) const {
    switch (which) {
        case Text::CommPort:
            return toCp1252(w_.INP_COMMPORT->text());
        case Text::Delay:
            return toCp1252(w_.INP_DELAY->text());
        case Text::ComCfg:
            return toCp1252(w_.INP_COM_CFG->text());
        case Text::Prefix:
            return toCp1252(w_.INP_PREFIX->text());
        case Text::Suffix:
            return toCp1252(w_.INP_SUFFIX->text());
        case Text::TargetWin:
            return toCp1252(w_.INP_TARGET_WIN->text());
        case Text::Handshaking:
            return toCp1252(w_.LST_HANDSHAKING->currentText());
        case Text::IpTcp:
            return toCp1252(w_.INP_IP_TCP->text());
        case Text::IpPort:
            return toCp1252(w_.INP_IP_PORT->text());
    }
    return {};
}

void MainWindowConfig::setText(Text which, const std::string& value) {
    const QString text = fromCp1252(value);
    switch (which) {
        case Text::CommPort:
            w_.INP_COMMPORT->setText(text);
            break;
        case Text::Delay:
            w_.INP_DELAY->setText(text);
            break;
        case Text::ComCfg:
            w_.INP_COM_CFG->setText(text);
            break;
        case Text::Prefix:
            w_.INP_PREFIX->setText(text);
            break;
        case Text::Suffix:
            w_.INP_SUFFIX->setText(text);
            break;
        case Text::TargetWin:
            w_.INP_TARGET_WIN->setText(text);
            break;
        case Text::Handshaking:
            w_.LST_HANDSHAKING->setEditText(text);
            break;
        case Text::IpTcp:
            w_.INP_IP_TCP->setText(text);
            break;
        case Text::IpPort:
            w_.INP_IP_PORT->setText(text);
            break;
    }
}

namespace {

QCheckBox* box(F_MAIN& w, ConfigControls::Box which) {
    switch (which) {
        case ConfigControls::Box::ApiKb:
            return w.SW_API_KB;
        case ConfigControls::Box::Rts:
            return w.SW_RTS;
        case ConfigControls::Box::Dtr:
            return w.SW_DTR;
        case ConfigControls::Box::Upper:
            return w.SW_UPPER;
    }
    return nullptr;
}

}  // namespace

int MainWindowConfig::boxState(Box which) const {
    switch (box(w_, which)->checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 0;
    }
}

void MainWindowConfig::setBoxState(Box which, int state) {
    QCheckBox* b = box(w_, which);
    if (state == 2) b->setTristate(true);
    b->setCheckState(state == 1 ? Qt::Checked : state == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

bool MainWindowConfig::serverSelected() const {
    return w_.SW_IP_CL_SE[1]->isChecked();
}

void MainWindowConfig::selectServer() {
    if (w_.SW_IP_CL_SE[1]->isChecked()) return;
    w_.SW_IP_CL_SE[1]->setChecked(true);
}

void MainWindowConfig::refreshHandshaking() {
    w_.Frame3->LST_HANDSHAKING_Click();
}

void MainWindowConfig::logFailure(const std::string& what) {
    qWarning().noquote() << "configuration:" << fromCp1252(what);
}

void DurableConfigFileSystem::writeDurably(const std::filesystem::path& file,
                                           const std::string& bytes) {
    QFile out(QString::fromStdString(file.string()));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw ConfigSaveError("cannot create " + file.string() + ": " +
                              out.errorString().toStdString());
    if (out.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !out.flush())
        throw ConfigSaveError("cannot write " + file.string() + ": " +
                              out.errorString().toStdString());
#ifdef _WIN32
    const int synced = _commit(out.handle());
#else
    const int synced = ::fsync(out.handle());
#endif
    if (synced != 0) throw ConfigSaveError("cannot flush " + file.string() + " to the disk");
}

void DurableConfigFileSystem::syncDirectory(const std::filesystem::path& directory) {
#ifndef _WIN32
    // The renames become durable with the directory; a failure here leaves whole files.
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    if (::fsync(fd) != 0) qDebug() << "cannot sync" << directory.c_str();
    ::close(fd);
#else
    (void)directory;
#endif
}

void DurableConfigFileSystem::lockDirectory(const std::filesystem::path& directory) {
#ifndef _WIN32
    unlockDirectory();
    const auto lockFile = directory / ".save.lock";
    lockFd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd_ < 0) return;  // e.g. the directory is missing: the save itself will say so
    while (::flock(lockFd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            qWarning() << "cannot lock" << lockFile.c_str() << "for the save";
            break;
        }
    }
#else
    (void)directory;
#endif
}

void DurableConfigFileSystem::unlockDirectory() {
#ifndef _WIN32
    if (lockFd_ >= 0) ::close(lockFd_);  // closing releases the lock
#endif
    lockFd_ = -1;
}

}  // namespace kest
