#include "ui/MainWindowHost.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QTimer>

#include "keyboard/KeyDispatch.h"
#include "keyboard/WindowActivator.h"
#include "ui/MainWindow.h"
#include "ui/TroubleState.h"
#include "ui/WindowWidgets.h"

namespace kest {

namespace {

std::vector<std::string> rows(const QListWidget* list) {
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(list->count()));
    for (int i = 0; i < list->count(); ++i) out.push_back(toCp1252(list->item(i)->text()));
    return out;
}

// Qt's date format letters to the date tokens of the macros (d, dd, m, mm, yy, yyyy).
std::string shortDatePattern(const QString& qtFormat, std::string& separator) {
    std::string pattern;
    for (const QChar c : qtFormat) {
        if (c == 'd' || c == 'y') {
            pattern += c.toLatin1();
        } else if (c == 'M') {
            pattern += 'm';
        } else if (!c.isLetter() && c != ' ') {
            // Every separator of the form is the date separator.
            separator = toCp1252(QString(c));
            pattern += '/';
        }
    }
    return pattern;
}

}  // namespace

DateNames localDateNames() {
    const QLocale locale = QLocale::system();
    DateNames names;
    for (int day = 0; day < 7; ++day) {
        const int qtDay = day == 0 ? 7 : day;  // Qt counts Monday 1 .. Sunday 7
        names.weekdays[day] = toCp1252(locale.dayName(qtDay, QLocale::LongFormat));
        names.weekdaysShort[day] = toCp1252(locale.dayName(qtDay, QLocale::ShortFormat));
    }
    for (int month = 0; month < 12; ++month) {
        names.months[month] = toCp1252(locale.monthName(month + 1, QLocale::LongFormat));
        names.monthsShort[month] = toCp1252(locale.monthName(month + 1, QLocale::ShortFormat));
    }
    const std::string pattern =
        shortDatePattern(locale.dateFormat(QLocale::ShortFormat), names.separator);
    if (pattern.find('d') != std::string::npos && pattern.find('m') != std::string::npos)
        names.shortDatePattern = pattern;
    return names;
}

MainWindowHost::MainWindowHost(F_MAIN& window, KeyDispatch& dispatch, WindowActivator& activator)
    : w_(window), dispatch_(dispatch), activator_(activator) {}

std::vector<std::string> MainWindowHost::removeList() const {
    return rows(w_.LST_REMOVE_CAR);
}
std::vector<std::string> MainWindowHost::searchTexts() const {
    return rows(w_.LST_TOUCHES[0]);
}
std::vector<std::string> MainWindowHost::replaceTexts() const {
    return rows(w_.LST_TOUCHES[1]);
}
std::string MainWindowHost::delayText() const {
    return toCp1252(w_.INP_DELAY->text());
}
std::string MainWindowHost::prefixText() const {
    return toCp1252(w_.INP_PREFIX->text());
}
std::string MainWindowHost::suffixText() const {
    return toCp1252(w_.INP_SUFFIX->text());
}
std::string MainWindowHost::targetWindowText() const {
    return toCp1252(w_.INP_TARGET_WIN->text());
}

bool MainWindowHost::serialOpen() const {
    return w_.COMM->isOpen();
}

void MainWindowHost::serialWrite(const std::string& data) {
    w_.COMM->write(QByteArray::fromStdString(data));
}

int MainWindowHost::tcpClientState() const {
    return w_.tcpChannel->clientState();
}
int MainWindowHost::tcpListenState() const {
    return w_.tcpChannel->listenState();
}

void MainWindowHost::tcpClientSend(const std::string& data) {
    w_.tcpChannel->clientSend(QByteArray::fromStdString(data));
}

void MainWindowHost::tcpListenSend(const std::string& data) {
    w_.tcpChannel->listenSend(QByteArray::fromStdString(data));
}

void MainWindowHost::activateWindow(const std::string& title) {
    if (!activator_.activate(title)) qDebug() << "no window titled" << fromCp1252(title);
}

void MainWindowHost::handlePendingEvents() {
    QCoreApplication::processEvents();
}

void MainWindowHost::handleEventsFor(double seconds) {
    if (seconds <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000.0 + 0.5), Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    loop.exec();
}

std::size_t MainWindowHost::debugLineCount() const {
    return static_cast<std::size_t>(w_.LST_DEBUG->count());
}

void MainWindowHost::clearDebugLines() {
    w_.LST_DEBUG->clear();
}

void MainWindowHost::addDebugLine(const std::string& line) {
    w_.LST_DEBUG->addItem(fromCp1252(line));
    w_.LST_DEBUG->scrollToBottom();
}

void MainWindowHost::sendToKeyboard(std::string keys, bool wait, std::size_t eventsDone) {
    dispatch_.SEND_TO_KB(keys, wait, w_.SW_API_KB->checkState() == Qt::Checked,
                         w_.SW_UPPER->checkState() == Qt::Checked, eventsDone);
}

DryRunSettings MainWindowHost::dryRunSettings() const {
    DryRunSettings s;
    s.removeList = removeList();
    s.search = searchTexts();
    s.replace = replaceTexts();
    s.delay = delayText();
    s.prefix = prefixText();
    s.suffix = suffixText();
    s.targetWindow = targetWindowText();
    s.apiKb = w_.SW_API_KB->checkState() == Qt::Checked;
    s.upper = w_.SW_UPPER->checkState() == Qt::Checked;
    s.modeTag = dispatch_.modeTag();
    return s;
}

DryRunWorld MainWindowHost::dryRunWorld() const {
    DryRunWorld world;
    world.serialOpen = serialOpen();
    world.tcpClientState = tcpClientState();
    world.tcpListenState = tcpListenState();
    world.windowExists = [&activator = activator_](const std::string& title) {
        return activator.windowExists(title);
    };
    return world;
}

void MainWindowHost::logFailure(const std::string& what) {
    qWarning().noquote() << "pipeline:" << fromCp1252(what);
}

// The trouble state logs each distinct reason once, where a scanner's every code
// would otherwise add the same line.
void MainWindowHost::pieceNotTyped(const std::string& reason) {
    w_.trouble().set(Trouble::NotTyped, fromCp1252(reason));
}

void MainWindowHost::textTyped(bool whole) {
    if (whole) w_.trouble().clear(Trouble::NotTyped);
}

void MainWindowHost::notice(const std::string& message) {
    w_.showNotice(fromCp1252(message));
}

}  // namespace kest
