#include "keyboard/win32/FakeWin32Api.h"

#include <stdexcept>

namespace kest::win32::testing {

namespace {

constexpr unsigned kShift = 1, kCtrl = 2, kAlt = 4, kAltGr = 6;
constexpr std::uint8_t kDigits[] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};

void addLetters(FakeLayout& layout) {
    for (char16_t c = u'a'; c <= u'z'; ++c) {
        const auto vk = static_cast<std::uint8_t>(c - u'a' + 'A');
        layout.keys.push_back({c, vk});
        layout.keys.push_back({static_cast<char16_t>(c - 0x20), vk, kShift});
    }
    for (char16_t c = u'0'; c <= u'9'; ++c) layout.keys.push_back({c, std::uint8_t(c)});
    layout.keys.push_back({u' ', 0x20});
    layout.scans[0x25] = 0x4B;  // left arrow, shares its scan code with number pad 4
}

void addShifted(FakeLayout& layout, const char16_t* chars, const std::uint8_t* vks) {
    for (int i = 0; chars[i]; ++i) layout.keys.push_back({chars[i], vks[i], kShift});
}

bool isLetterKey(const FakeLayout& layout, std::uint8_t vk) {
    for (const FakeKey& k : layout.keys) {
        if (k.vk != vk || k.mods != 0) continue;
        return (k.ch >= u'a' && k.ch <= u'z') || (k.ch >= 0xE0 && k.ch <= 0xFE && k.ch != 0xF7);
    }
    return false;
}

}  // namespace

FakeLayout usLayout() {
    FakeLayout us{0x04090409, {}, {}};
    addLetters(us);
    addShifted(us, u")!@#$%^&*(", kDigits);
    const std::uint8_t oem[] = {0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE};
    for (int i = 0; i < 11; ++i) us.keys.push_back({u";=,-./`[\\]'"[i], oem[i]});
    addShifted(us, u":+<_>?~{|}\"", oem);
    // Control characters on the keys Windows' US table puts them.
    us.keys.push_back({0x1C, 0xDC, kCtrl});
    us.keys.push_back({0x1D, 0xDD, kCtrl});
    us.keys.push_back({0x00, '2', kCtrl | kShift});
    us.keys.push_back({0x1E, '6', kCtrl | kShift});
    us.keys.push_back({0x1F, 0xBD, kCtrl | kShift});
    us.scans[0x59] = 0x15;  // Y
    us.scans[0x5A] = 0x2C;  // Z
    return us;
}

// German (QWERTZ): Z and Y change places, umlauts take the places of US punctuation,
// AltGr carries @ € and the brackets, and ^ ´ ` ~ are dead keys.
FakeLayout germanLayout() {
    FakeLayout de{0x04070407, {}, {}};
    addLetters(de);
    addShifted(de, u"=!\"\u00a7$%&/()", kDigits);
    const std::uint8_t oem[] = {0xBA, 0xC0, 0xDE, 0xDB, 0xBB, 0xBF, 0xBC, 0xBE, 0xBD, 0xE2};
    for (int i = 0; i < 10; ++i) de.keys.push_back({u"\u00fc\u00f6\u00e4\u00df+#,.-<"[i], oem[i]});
    addShifted(de, u"\u00dc\u00d6\u00c4?*';:_>", oem);
    const char16_t altGr[] = u"@\u20ac{[]}\\~|\u00b5\u00b2\u00b3";
    const std::uint8_t altGrVks[] = {'Q', 'E', '7', '8', '9', '0', 0xDB, 0xBB, 0xE2, 'M', '2', '3'};
    for (int i = 0; altGr[i]; ++i) {
        // ~ is a dead key on AltGr+ of a key whose own level is not.
        de.keys.push_back({altGr[i], altGrVks[i], kAltGr, altGr[i] == u'~'});
    }
    de.keys.push_back({u'^', 0xDC, 0, true});
    de.keys.push_back({u'\u00b0', 0xDC, kShift});
    de.keys.push_back({u'\u00b4', 0xDD, 0, true});
    de.keys.push_back({u'`', 0xDD, kShift, true});
    de.scans[0x59] = 0x2C;  // Y
    de.scans[0x5A] = 0x15;  // Z
    return de;
}

unsigned FakeWin32Api::sendInput(const std::vector<KeyInput>& events) {
    std::size_t take = events.size();
    if (acceptNext >= 0 && std::size_t(acceptNext) < take) take = std::size_t(acceptNext);
    acceptNext = -1;
    if (locked) take = 0;
    for (std::size_t i = 0; i < take; ++i) this->take(events[i]);
    if (take > 0) ourInputLast_ = true;
    return unsigned(take);
}

void FakeWin32Api::take(const KeyInput& e) {
    if (e.vk == 0 && !(e.flags & kEventUnicode)) throw std::logic_error("SendInput without a key");
    sent.push_back(e);
    const bool up = e.flags & kEventKeyUp;
    if (e.flags & kEventUnicode) {
        if (!up) received.push_back(e.scan);
    } else if (up) {
        down.reset(e.vk);
    } else {
        keyDown(std::uint8_t(e.vk));
    }
}

// What TranslateMessage would make of the key with the modifiers that are down.
void FakeWin32Api::keyDown(std::uint8_t vk) {
    down.set(vk);
    auto held = [&](std::uint8_t a, std::uint8_t l, std::uint8_t r) {
        return down[a] || down[l] || down[r];
    };
    const bool shift = held(0x10, 0xA0, 0xA1), ctrl = held(0x11, 0xA2, 0xA3),
               alt = held(0x12, 0xA4, 0xA5);
    if (vk == kVkCapital) capsLock = shiftLock || !capsLock;
    if (shiftLock && (vk == 0x10 || vk == 0xA0 || vk == 0xA1)) capsLock = false;
    if ((vk >= 0x10 && vk <= 0x12) || vk == kVkCapital || (vk >= 0xA0 && vk <= 0xA5)) return;
    const bool ctrlOnly = ctrl && !alt;
    if (vk == kVkReturn) return received.push_back(ctrlOnly ? u'\n' : u'\r');
    if (vk == kVkBack) return received.push_back(ctrlOnly ? 0x7F : 0x08);
    if (vk == kVkTab || vk == kVkEscape) return received.push_back(vk);
    if (ctrlOnly && vk >= 'A' && vk <= 'Z') return received.push_back(char16_t(vk - 'A' + 1));
    // The keys go to the thread of the window with the focus, and its layout reads them.
    const WindowHandle window = focusWindow();
    const KeyText text = keyText(vk, (shift ? kShift : 0) | (ctrl ? kCtrl : 0) | (alt ? kAlt : 0),
                                 capsLock, keyboardLayout(window ? windowThread(window) : kSelf));
    // A dead key waits for the next key and changes it: the receiver sees garbage.
    received += text.dead ? u"\uFFFD" : text.text;
}

LayoutHandle FakeWin32Api::keyboardLayout(ThreadId thread) {
    auto it = threadLayouts.find(thread == 0 ? kSelf : thread);
    return it != threadLayouts.end() ? it->second : threadLayouts.at(kSelf);
}

std::int16_t FakeWin32Api::vkKeyScan(char16_t c, LayoutHandle layout) {
    for (const FakeKey& k : layouts_.at(layout).keys) {
        if (k.ch == c) return std::int16_t(k.vk | (k.mods << 8));
    }
    return -1;
}

std::uint32_t FakeWin32Api::mapVirtualKey(std::uint32_t code, std::uint32_t mapType,
                                          LayoutHandle layout) {
    if (mapType != kMapVkToScan) throw std::logic_error("map type not faked");
    const FakeLayout& l = layouts_.at(layout ? layout : keyboardLayout(kSelf));
    auto it = l.scans.find(std::uint8_t(code));
    return it != l.scans.end() ? it->second : 0x7F;
}

KeyText FakeWin32Api::keyText(std::uint8_t vk, unsigned mods, bool caps, LayoutHandle layout) {
    const FakeLayout& l = layouts_.at(layout);
    if (caps && (mods & kAltGr) == 0 && isLetterKey(l, vk)) mods ^= kShift;
    for (const FakeKey& k : l.keys) {
        if (k.vk == vk && k.mods == mods)
            return k.dead ? KeyText{true, {}} : KeyText{false, {k.ch}};
    }
    return {};
}

bool FakeWin32Api::isToggled(std::uint8_t vk, ThreadId thread) {
    if (vk != kVkCapital) return false;
    const bool own = thread == 0 || thread == kSelf;
    return own && ownCapsView ? *ownCapsView : capsLock;
}

std::optional<std::uint32_t> FakeWin32Api::processIntegrity(ProcessId process) {
    auto it = integrity.find(process);
    return it != integrity.end() ? it->second : std::optional<std::uint32_t>(kIntegrityMedium);
}

WindowHandle FakeWin32Api::foregroundWindow() {
    if (pendingForeground_ && slept >= pendingAt_) {
        foreground = pendingForeground_;
        pendingForeground_ = 0;
    }
    return foreground;
}

std::vector<WindowHandle> FakeWin32Api::topLevelWindows() {
    std::vector<WindowHandle> handles;
    for (const FakeWindow& w : windows) handles.push_back(w.handle);
    return handles;
}

bool FakeWin32Api::setForegroundWindow(WindowHandle window) {
    // Windows lets a thread take the foreground when its input is attached to the
    // foreground thread's, or when its own input was the last the system took.
    const bool allowed =
        lock == ForegroundLock::None ||
        (lock == ForegroundLock::UnlessAttached && attached.count(windowThread(foreground))) ||
        (lock == ForegroundLock::UnlessOurInput && ourInputLast_);
    if (!allowed) return false;
    // Another thread's window comes to the front when its thread has taken the change.
    if (foregroundDelayMs > 0 && windowThread(window) != kSelf) {
        pendingForeground_ = window;
        pendingAt_ = slept + foregroundDelayMs;
    } else {
        foreground = window;
    }
    return true;
}

bool FakeWin32Api::attachThreadInput(ThreadId from, ThreadId to, bool attach) {
    if (from != kSelf || to == kSelf) return false;
    if (attach) return attached.insert(to).second;
    return attached.erase(to) > 0;
}

FakeWindow& FakeWin32Api::find(WindowHandle window) {
    for (FakeWindow& w : windows) {
        if (w.handle == window) return w;
    }
    throw std::logic_error("no such window");
}

}  // namespace kest::win32::testing
