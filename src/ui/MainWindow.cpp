#include "ui/MainWindow.h"

#include <QCheckBox>
#include <QDebug>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHideEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>
#include <exception>
#include <limits>

#include "config/ConfigStore.h"
#include "config/LockRule.h"
#include "engine/Pipeline.h"
#include "keyboard/KeyDispatch.h"
#include "platform/DosPaths.h"
#include "ui/Colours.h"
#include "ui/HelpWindow.h"
#include "ui/KeysWait.h"
#include "ui/MainWindowConfig.h"
#include "ui/MainWindowHost.h"
#include "ui/Maker.h"
#include "ui/RuleTester.h"
#include "ui/TestSend.h"
#include "ui/TrayIcon.h"
#include "ui/TroubleReports.h"
#include "ui/TroubleState.h"
#include "ui/UrlLink.h"
#include "ui/WindowWidgets.h"

// The window's pictures live in a static library: their resource must be registered
// by name, or the linker drops it.
static void initWindowResources() {
    Q_INIT_RESOURCE(MainWindow);
}

namespace kest {

namespace {

constexpr int kClientWidthTwips = 6390;
constexpr int kClientHeightTwips = 8100;
constexpr int kFrameTopTwips = 1350;
constexpr int kFrameHeightTwips = 5535;
constexpr int kPassTopTwips = -15;
// The smallest client height the window keeps when a tall title bar eats the rest.
constexpr int kMinClientHeightPx = 20;

// The icons of the frame captions are 16 x 14 pixels.
constexpr int kCaptionIconWidth = 16;
constexpr int kCaptionIconHeight = 14;
// Frames stand 3 pixels apart.
constexpr int kCaptionIconReach = 2;

// Where a frame's caption icon goes, in the frame's parent: in the room the caption's
// leading spaces leave, ending just before its first letter. A caption with few spaces
// lets its icon reach a little past the frame's edge, into the gap between frames.
QRect captionIconBox(const QGroupBox* frame) {
    QStyleOptionGroupBox option;
    option.initFrom(frame);
    option.text = frame->title();
    option.textAlignment = frame->alignment();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const QRect label = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                       QStyle::SC_GroupBoxLabel, frame);
    const QString title = frame->title();
    qsizetype spaces = 0;
    while (spaces < title.size() && title.at(spaces) == u' ') ++spaces;
    const int room = frame->fontMetrics().horizontalAdvance(title.left(spaces));
    const int left = std::max(-kCaptionIconReach, label.left() + room - kCaptionIconWidth - 1);
    return QRect(frame->x() + left, frame->y(), kCaptionIconWidth, kCaptionIconHeight);
}

}  // namespace

F_MAIN::F_MAIN(KeyboardDevice& keyboard, WindowActivator& activator, QWidget* parent)
    : QWidget(parent), trouble_(new TroubleState(this)) {
    initWindowResources();
    setObjectName("F_MAIN");
    setWindowTitle(kDesignCaption);
    const QFont windowFont = layoutFont();
    setFont(windowFont);
    setWindowIcon(TrayIcon::programIcon());
    top = new TopBand(this);
    buildConfigFrame();
    buildBottomBand();
    bindNames();
    restoreControlFonts(this, windowFont);
    widenLabelsToText(this);
    // An edit field cuts its text at 32,767 characters by default; nothing loaded from
    // the configuration may be shortened by the field that holds it, and saved back cut.
    for (QLineEdit* field : findChildren<QLineEdit*>())
        field->setMaxLength(std::numeric_limits<int>::max());
    setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));

    clock_ = std::make_unique<SystemClock>(localDateNames());
    dispatch_ = std::make_unique<KeyDispatch>(keyboard, *clock_);
    host_ = std::make_unique<MainWindowHost>(*this, *dispatch_, activator);
    pipeline_ = std::make_unique<Pipeline>(*host_, *clock_);
    runner_ = std::make_unique<PipelineRunner>(*pipeline_);
    runner_->onFullChanged([this](bool full) {
        tcpChannel->setReceivingPaused(full);
        if (full || serialDropped_ == 0) return;
        qWarning() << "Serial: pipeline has room again;" << serialDropped_
                   << "bytes were dropped while it was full";
        serialDropped_ = 0;
    });
    keysWait_ = new KeysWait(
        *runner_, *pipeline_, [this](const QString& line) { showDebugLine(line); }, this);
    connect(keysWait_, &KeysWait::changed, this, &F_MAIN::keysWaitingChanged);
    connect(keysWait_, &KeysWait::changed, this, [this](const QString& reason) {
        if (reason.isEmpty()) {
            trouble_->clear(Trouble::KeysWaiting);
        } else {
            trouble_->set(Trouble::KeysWaiting, reason);
        }
    });
    config_ = std::make_unique<MainWindowConfig>(*this);
    files_ = std::make_unique<DurableConfigFileSystem>();
    store_ = std::make_unique<ConfigStore>(*config_, *files_, [](const std::string& dosPath) {
        // UTF-16, not the narrow text, which Windows would read in its ANSI code page.
        return std::filesystem::path(dos::nativePath(fromCp1252(dosPath)).toStdU16String());
    });
    testSend = new TestSend(B_TEST_SEND, INP_OUTPUT, this, [this](const QByteArray& text) {
        processData(text, TextSource::TestSend);
    });
    endProgram = [] { QCoreApplication::exit(0); };
    ownWindowFocused = [] { return QGuiApplication::focusWindow() != nullptr; };
    connectHandlers();
}

F_MAIN::~F_MAIN() {
    // The tester reads the controls at each of their changes, and the controls change
    // while they are taken down: it goes first.
    delete ruleTester;
    ruleTester = nullptr;
    // The channels outlive the pipeline by a little (they are children of the frames);
    // a burst they hand over while closing must not reach a pipeline that is gone.
    for (QObject* channel : std::initializer_list<QObject*>{COMM, tcpChannel, fileChannel})
        channel->disconnect(this);
    if (testSend) testSend->TIM_TEST_SEND->stop();
}

void F_MAIN::buildConfigFrame() {
    FR_MAIN = makeFrame(this, "FR_MAIN", "Redirect Serial RS232 COM Port --to--> Keyboard Buffer",
                        palette().color(QPalette::WindowText));
    placeTw(FR_MAIN, 15, kFrameTopTwips, 6375, kFrameHeightTwips);
    // Opaque, as it covers the banner of the top band.
    FR_MAIN->setAutoFillBackground(true);
    FR_MAIN->hide();

    B_SAVE = makePictureButton(FR_MAIN, "B_SAVE", ":/mainwindow/save.png");
    setBackColour(B_SAVE, saveButtonColour());
    placeTw(B_SAVE, 4440, 0, 1830, 285);

    Frame3 = new SerialFrame(FR_MAIN);
    styleFrame(Frame3, "       Input Serial Port ", channelCaptionColour());
    Frame4 = new GeneralFrame(FR_MAIN);
    styleFrame(Frame4, "     General Configuration", settingsCaptionColour());
    Frame8 = new FileFrame(FR_MAIN);
    styleFrame(Frame8, "      Input File", channelCaptionColour());
    Frame7 = new QGroupBox(FR_MAIN);
    Frame7->setObjectName("Frame7");
    placeTw(Frame7, 4815, 1725, 1515, 825);
    PIC_UPDATE = new QLabel(Frame7);
    PIC_UPDATE->setObjectName("PIC_UPDATE");
    PIC_UPDATE->setPixmap(QPixmap(":/mainwindow/update.png"));
    placeTw(PIC_UPDATE, 555, 90, 420, 330);
    URLLink3 = new URLLink(Frame7);
    URLLink3->setObjectName("URLLink3");
    URLLink3->setText("??? UPDATE ???");
    URLLink3->setUrl(kMakerProductPage);
    placeTw(URLLink3, 90, 480, 1335, 225);
    Frame5 = new TcpFrame(FR_MAIN);
    styleFrame(Frame5, "      Input TCP Port", channelCaptionColour());
    Frame1 = new SearchReplaceFrame(FR_MAIN);
    styleFrame(Frame1, "       Search and Replace", settingsCaptionColour());
    Frame2 = new RemoveListFrame(FR_MAIN);
    styleFrame(Frame2, "   Remove ASCII Char", settingsCaptionColour());

    // Icons over the starts of the frame captions, which leave room for them.
    const struct {
        int index;
        QGroupBox* frame;
        const char* image;
    } captionIcons[] = {
        {2, Frame3, ":/mainwindow/serial.png"}, {0, Frame4, ":/mainwindow/keyboard.png"},
        {11, Frame5, ":/mainwindow/tcp.png"},   {4, Frame1, ":/mainwindow/arrow.png"},
        {3, Frame2, ":/mainwindow/delete.png"}, {12, Frame8, ":/mainwindow/file.png"},
    };
    for (const auto& icon : captionIcons) {
        auto* picture = new PictureBox(icon.index, icon.image, FR_MAIN);
        picture->setScaledContents(true);
        picture->setGeometry(captionIconBox(icon.frame));
        picture->raise();
        Picture1.push_back(picture);
    }
}

void F_MAIN::buildBottomBand() {
    INP_DELAY = new QLineEdit(".2", this);
    INP_DELAY->setObjectName("INP_DELAY");
    placeTw(INP_DELAY, 120, 7560, 615, 285);
    INP_DELAY->hide();
    // The colour holders, findable by name; the colours themselves come from Colours.h.
    const std::pair<const char*, QColor> holders[] = {{"VERT", VERT()}, {"ROUGE", ROUGE()}};
    for (const auto& [name, colour] : holders) {
        auto* shape = new QFrame(this);
        shape->setObjectName(name);
        setBackColour(shape, colour);
        shape->hide();
    }
}

void F_MAIN::bindNames() {
    INP_PASS = top->INP_PASS;
    B_HLP = top->B_HLP;
    B_MIN = top->B_MIN;
    AFF_INSTANCE = top->AFF_INSTANCE;
    URLLink1 = top->URLLink1;
    URL_SUPPORT = top->URL_SUPPORT;
    URLLink2 = top->URLLink2;
    LST_DEBUG = top->LST_DEBUG;
    INP_COMMPORT = Frame3->INP_COMMPORT;
    INP_COM_CFG = Frame3->INP_COM_CFG;
    LST_HANDSHAKING = Frame3->LST_HANDSHAKING;
    SW_DTR = Frame3->SW_DTR;
    SW_RTS = Frame3->SW_RTS;
    COMM = &Frame3->COMM;
    INP_TARGET_WIN = Frame4->INP_TARGET_WIN;
    SW_UPPER = Frame4->SW_UPPER;
    INP_PREFIX = Frame4->INP_PREFIX;
    INP_SUFFIX = Frame4->INP_SUFFIX;
    SW_API_KB = Frame4->SW_API_KB;
    IMG_WIN = Frame4->IMG_WIN;
    B_HELP_PREF_SUF = {Frame4->B_HELP_PREF_SUF_0, Frame1->B_HELP_PREF_SUF_1};
    INP_FILE_DIR = Frame8->INP_FILE_DIR;
    B_FILE_CHOSE = Frame8->B_FILE_CHOSE;
    AFF_FILE_STATUS = Frame8->AFF_FILE_STATUS;
    fileChannel = &Frame8->fileChannel;
    INP_IP_TCP = Frame5->INP_IP_TCP;
    INP_IP_PORT = Frame5->INP_IP_PORT;
    B_IP_RESET = Frame5->B_IP_RESET;
    AFF_TCP_STATUS = Frame5->AFF_TCP_STATUS;
    SW_IP_CL_SE = Frame5->SW_IP_CL_SE;
    tcpChannel = &Frame5->tcpChannel;
    LST_TOUCHES = Frame1->LST_TOUCHES;
    INP_INPUT = Frame1->INP_INPUT;
    INP_OUTPUT = Frame1->INP_OUTPUT;
    B_TEST_SEND = Frame1->B_TEST_SEND;
    B_RULE_TESTER = Frame1->B_RULE_TESTER;
    B_ADD = Frame1->B_ADD;
    B_DEL = Frame1->B_DEL;
    LST_REMOVE_CAR = Frame2->LST_REMOVE_CAR;
    INP_REMOVE_CAR = Frame2->INP_REMOVE_CAR;
    B_ADD_REMOVE_CAR = Frame2->B_ADD_REMOVE_CAR;
    B_DEL_REMOVE_CAR = Frame2->B_DEL_REMOVE_CAR;
    for (auto* list : {&top->pictures, &Frame1->pictures})
        Picture1.insert(Picture1.end(), list->begin(), list->end());
    Picture1.push_back(Frame4->Picture1_8);
}

void F_MAIN::connectHandlers() {
    connect(INP_PASS, &QLineEdit::textChanged, this, &F_MAIN::INP_PASS_Change);
    INP_PASS->installEventFilter(this);
    connect(B_SAVE, &QPushButton::clicked, this, [this] { B_SAVE_Click(); });
    connect(B_RULE_TESTER, &QPushButton::clicked, this, &F_MAIN::B_RULE_TESTER_Click);
    connect(B_MIN, &QPushButton::clicked, this, &F_MAIN::B_MIN_Click);
    for (int i = 0; i < 2; ++i) {
        connect(B_HLP[i], &QPushButton::clicked, this, [this, i] { B_HLP_Click(i); });
        connect(B_HELP_PREF_SUF[i], &QPushButton::clicked, this,
                [this, i] { B_HELP_PREF_SUF_Click(i); });
    }
    for (PictureBox* picture : Picture1)
        connect(picture, &PictureBox::clicked, this, &F_MAIN::Picture1_Click);
    connect(B_TEST_SEND, &QPushButton::clicked, testSend, &TestSend::B_TEST_SEND_Click);
    connect(COMM, &SerialChannel::textReceived, this, &F_MAIN::processSerialData);
    const auto received = [this](const QByteArray& text) { processData(text); };
    connect(tcpChannel, &TcpChannel::textReceived, this, received);
    connect(fileChannel, &FileChannel::textReceived, this, received);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &F_MAIN::focusChanged);
    reportChannelTrouble(*this, *trouble_);
    markRulesNotTyped(*this, *clock_);
}

namespace {

// Releasing or feeding the runner types texts; nothing of that may leave a Qt handler,
// whatever it throws.
template <typename Work>
void runGuarded(const char* what, Work work) {
    try {
        work();
    } catch (const std::exception& e) {
        qWarning() << what << e.what();
    } catch (...) {
        qWarning() << what << "unknown error";
    }
}

}  // namespace

void F_MAIN::processData(const QByteArray& text, TextSource source) {
    runGuarded("PROCESS_DATA failed:", [&] {
        runner_->setHeld(textsMustWait());
        // Behind a text whose keys were refused, not merely one being typed now (the
        // pipeline holds that one too, while it types).
        const bool behindAWait = !keysWait_->reason().isEmpty();
        const std::string received = text.toStdString();
        runner_->submit(received, source);
        if (runner_->held()) {
            LST_DEBUG->addItem(QStringLiteral("WAITING (this window has the focus): ") +
                               fromCp1252(received));
        } else if (behindAWait) {
            showDebugLine(
                QStringLiteral("WAITING (%1): %2").arg(keysWait_->reason(), fromCp1252(received)));
        }
    });
}

void F_MAIN::processSerialData(const QByteArray& text) {
    if (!runner_->full()) return processData(text);
    if (serialDropped_ == 0) {
        const QString why = QStringLiteral("Serial backlog over %1 MiB: received data dropped")
                                .arg(PipelineRunner::kMaxQueuedBytes >> 20);
        qWarning().noquote() << why;
        host_->addDebugLine(toCp1252(why));
    }
    serialDropped_ += text.size();
}

bool F_MAIN::textsMustWait() const {
    // A configured target window is activated before the first key: the keys go there,
    // and an unattended copy whose window has the focus since its start keeps working.
    return ownWindowFocused && ownWindowFocused() && INP_TARGET_WIN->text().trimmed().isEmpty();
}

void F_MAIN::focusChanged() {
    runGuarded("PROCESS_DATA of a waiting text failed:",
               [&] { runner_->setHeld(textsMustWait()); });
}

void F_MAIN::showNotice(const QString& message) {
    if (message.isEmpty() || !noticesShown_.first(message)) return;
    qWarning().noquote() << "Kest_Redirect_Serial_to_KB:" << message;
    showDebugLine(message);
}

void F_MAIN::showDebugLine(const QString& line) {
    LST_DEBUG->addItem(line);
    LST_DEBUG->scrollToBottom();
}

void F_MAIN::LOAD_CFG() {
    store_->LOAD_CFG();
}

bool F_MAIN::B_SAVE_Click() {
    try {
        store_->B_SAVE_Click();
        setBackColour(B_SAVE, saveButtonColour());
        B_SAVE->setToolTip(QString());
        trouble_->clear(Trouble::Save);
        return true;
    } catch (const std::exception& e) {
        // The save has no dialog; the button shows the failure until a save succeeds.
        const QString why = QStringLiteral("Configuration not saved: %1").arg(e.what());
        setBackColour(B_SAVE, ROUGE());
        B_SAVE->setToolTip(why);
        trouble_->set(Trouble::Save, why);
        return false;
    }
}

void F_MAIN::INP_PASS_Change() {
    const LockDecision decision = decideLock(toCp1252(INP_PASS->text()));
    if (decision.unlock) {
        FR_MAIN->show();
        setOuterHeightTwips(unlockedHeightTwips(kFrameTopTwips, kFrameHeightTwips));
        setBackColour(INP_PASS, VERT());
    } else {
        setBackColour(INP_PASS, windowBackgroundColour());
        FR_MAIN->hide();
        setOuterHeightTwips(lockedHeightTwips(kPassTopTwips));
        B_SAVE_Click();
    }
    if (decision.end && endProgram) endProgram();
}

void F_MAIN::INP_PASS_GotFocus() {
    INP_PASS->clear();
}

void F_MAIN::B_HLP_Click(int) {
    if (openHelp) {
        openHelp(0);
    } else {
        runHandler("B_HLP_Click", [this] { F_HELP::open(this, 0); });
    }
}

void F_MAIN::B_HELP_PREF_SUF_Click(int) {
    if (openHelp) {
        openHelp(1);
    } else {
        runHandler("B_HELP_PREF_SUF_Click", [this] { F_HELP::open(this, 1); });
    }
}

void F_MAIN::B_MIN_Click() {
    INP_PASS->clear();
    const bool areaAvailable =
        tray ? tray->areaAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
    if (!areaAvailable) {
        // Hidden without a notification area, no icon could ever bring it back.
        if (tray) {
            tray->minimiseToTaskList();
        } else {
            setWindowState(windowState() | Qt::WindowMinimized);
        }
        return;
    }
    // Only hidden: the window state and the task-list entry stay as they are.
    hide();
}

void F_MAIN::Picture1_Click(int) {
    SW_UPPER->setCheckState(SW_UPPER->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void F_MAIN::B_RULE_TESTER_Click() {
    if (!ruleTester) {
        // A window of its own, owned by this one: it reads the controls at each change,
        // so what it shows is what the next received text would meet.
        ruleTester = new RuleTester([this] { return host_->dryRunSettings(); },
                                    [this] { return host_->dryRunWorld(); }, *clock_, this);
        ruleTester->followChangesOf({LST_TOUCHES[0], LST_TOUCHES[1], LST_REMOVE_CAR, INP_PREFIX,
                                     INP_SUFFIX, INP_TARGET_WIN, SW_API_KB, SW_UPPER});
        // Named as the main window is: with several instances, which rules it tests.
        ruleTester->setWindowTitle(ruleTester->windowTitle() + AFF_INSTANCE->text());
    }
    ruleTester->refresh();
    ruleTester->show();
    ruleTester->raise();
    ruleTester->activateWindow();
}

void F_MAIN::setOuterHeightTwips(int twips) {
    outerHeightPx_ = twipsToPixels(twips);
    applyOuterHeight();
}

void F_MAIN::applyOuterHeight() {
    if (outerHeightPx_ <= 0) return;
    // The heights count the title bar, which the window manager draws and sizes.
    const int titleBar = isVisible() ? frameGeometry().height() - geometry().height() : 0;
    setFixedHeight(std::max(kMinClientHeightPx, outerHeightPx_ - std::max(0, titleBar)));
}

bool F_MAIN::eventFilter(QObject* watched, QEvent* event) {
    // Only a move of the focus into the field empties it: the window getting the focus
    // back (switching windows, showing it from the tray, closing the help window)
    // leaves an unlocked panel unlocked.
    if (watched == INP_PASS && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            INP_PASS_GotFocus();
    }
    // A click into the field locks too when the field kept the focus since the code was
    // typed: the user means the same thing, and no focus event comes.
    if (watched == INP_PASS && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        INP_PASS_GotFocus();
    return QWidget::eventFilter(watched, event);
}

void F_MAIN::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) setWindowState(windowState() | Qt::WindowMinimized);
    QWidget::mouseDoubleClickEvent(event);
}

void F_MAIN::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    QWidget::changeEvent(event);
}

void F_MAIN::hideEvent(QHideEvent* event) {
    // A window hidden by the program (to the tray) comes back where the user left it.
    if (!event->spontaneous()) keptPosition_ = geometry().topLeft();
    QWidget::hideEvent(event);
}

void F_MAIN::showEvent(QShowEvent* event) {
    // The show event comes before the window is mapped: a position given now is kept
    // by the window manager instead of one it would choose. Qt hands a position to the
    // window system only when it differs from the one it holds, hence the step aside.
    if (!event->spontaneous() && keptPosition_) {
        if (QWindow* handle = windowHandle()) {
            handle->setPosition(*keptPosition_ + QPoint(1, 0));
            handle->setPosition(*keptPosition_);
        }
        keptPosition_.reset();
    }
    QWidget::showEvent(event);
    // The title bar's height is known once the window manager has framed the window.
    QTimer::singleShot(0, this, &F_MAIN::applyOuterHeight);
    QTimer::singleShot(250, this, &F_MAIN::applyOuterHeight);
}

}  // namespace kest
