#include "ui/MainWindowConfig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

#include "platform/DurableFiles.h"
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
        case Text::FileDir:
            return toCp1252(w_.INP_FILE_DIR->text());
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
        case Text::FileDir:
            w_.INP_FILE_DIR->setText(text);
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
    std::string error;
    if (!durable::writeFile(file, bytes, &error)) throw ConfigSaveError(error);
}

void DurableConfigFileSystem::replace(const std::filesystem::path& from,
                                      const std::filesystem::path& to) {
    std::string error;
    if (!durable::replaceFile(from, to, &error)) throw ConfigSaveError(error);
}

void DurableConfigFileSystem::syncDirectory(const std::filesystem::path& directory) {
    durable::syncDirectory(directory);
}

void DurableConfigFileSystem::lockDirectory(const std::filesystem::path& directory) {
    saveLock_.reset();
    saveLock_ = std::make_unique<durable::SaveLock>(directory);
}

void DurableConfigFileSystem::unlockDirectory() {
    saveLock_.reset();
}

}  // namespace kest
