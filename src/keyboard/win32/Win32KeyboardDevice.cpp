#include "keyboard/win32/Win32KeyboardDevice.h"

#include <algorithm>
#include <array>

#include "keyboard/Cp1252.h"
#include "keyboard/KeyboardDevice.h"

namespace kest::win32 {

namespace {

// VkKeyScan shift-state bits.
constexpr unsigned kModShift = 1;
constexpr unsigned kModCtrl = 2;
constexpr unsigned kModAlt = 4;
constexpr unsigned kModAltGr = kModCtrl | kModAlt;

// The keys whose scan code carries the E0 prefix. Without the extended flag Windows
// takes an arrow for the number pad's, and Shift+arrow then stops selecting when
// Num Lock is on.
bool isExtendedKey(std::uint8_t vk) {
    switch (vk) {
        case 0x21:  // Page Up .. Down arrow
        case 0x22:
        case 0x23:
        case 0x24:
        case 0x25:
        case 0x26:
        case 0x27:
        case 0x28:
        case 0x2C:  // Print Screen
        case 0x2D:  // Insert
        case 0x2E:  // Delete
        case 0x5B:  // left and right Windows keys, Applications
        case 0x5C:
        case 0x5D:
        case 0x6F:  // number pad divide
        case 0x90:  // Num Lock
        case 0xA3:  // right Ctrl
        case 0xA5:  // right Alt
            return true;
        default:
            return false;
    }
}

// The generic modifier and its left and right keys.
std::array<std::uint8_t, 3> modifierKeys(std::uint8_t generic) {
    switch (generic) {
        case kVkShift:
            return {kVkShift, 0xA0, 0xA1};
        case kVkControl:
            return {kVkControl, 0xA2, 0xA3};
        default:
            return {kVkMenu, 0xA4, 0xA5};
    }
}

void appendUnicode(std::vector<KeyInput>& events, char16_t c) {
    events.push_back({0, c, kEventUnicode});
    events.push_back({0, c, kEventUnicode | kEventKeyUp});
}

}  // namespace

void Win32KeyboardDevice::keybdEvent(std::uint8_t vk, std::uint32_t flags) {
    // 0 and 255 name no key; SendInput would reject the whole block for them.
    if (vk == 0 || vk == 0xFF) return;
    const bool up = (flags & kKeyUp) != 0;
    send({keyEvent(vk, up, target().layout)});
    held_.set(vk, !up);
}

void Win32KeyboardDevice::typeCharacter(unsigned char c) {
    const Target t = target();
    if (c < 0x20 || c == 0x7F) {
        send(controlEvents(c, t.layout));
    } else {
        // Every Windows-1252 character lies in the Basic Multilingual Plane.
        send(printableEvents(static_cast<char16_t>(cp1252ToUnicode(c)), t));
    }
}

// SendInput returns once the events are in the system's input stream, in order and
// not interleaved with other input, so every event is taken by the time a call
// returns: there is nothing left to wait for. Whether the receiving program has read
// them yet is something Windows does not tell.
void Win32KeyboardDevice::sync() {}

// Caps Lock is read before the piece's first key: reading another thread's view of it
// means sharing that thread's input for a moment, which is best done while none of
// our keys are on their way to it.
void Win32KeyboardDevice::prepareCharacters(std::string_view text) {
    if (!text.empty() && !capsLock_) capsLockOn(target().thread);
}

// Every key a piece pressed has been released, or its release was refused and given
// up: nothing is believed held into the next piece.
void Win32KeyboardDevice::endPiece() {
    held_.reset();
    capsLock_.reset();
}

bool Win32KeyboardDevice::capsLockOn(ThreadId thread) {
    if (!capsLock_) capsLock_ = api_.isToggled(kVkCapital, thread);
    return *capsLock_;
}

// Layouts are per thread on Windows: the characters must come from the layout of the
// thread that reads the keys, the one with the focus. That is not always the thread of
// the window in front: a UWP program's frame belongs to another process than its
// content.
Win32KeyboardDevice::Target Win32KeyboardDevice::target() {
    WindowHandle window = api_.focusWindow();
    if (!window) window = api_.foregroundWindow();
    const ThreadId thread = window ? api_.windowThread(window) : 0;
    return {thread, api_.keyboardLayout(thread)};
}

std::optional<Win32KeyboardDevice::Placement> Win32KeyboardDevice::placementFor(
    char16_t c, LayoutHandle layout) {
    const std::int16_t key = api_.vkKeyScan(c, layout);
    if (key == -1) return std::nullopt;
    const auto vk = static_cast<std::uint8_t>(key & 0xFF);
    const unsigned mods = static_cast<unsigned>(key >> 8) & 0xFF;
    // Kana and OEM shift states have no key we could press.
    if (mods & ~(kModShift | kModCtrl | kModAlt)) return std::nullopt;
    return Placement{vk, mods};
}

std::vector<KeyInput> Win32KeyboardDevice::printableEvents(char16_t c, const Target& t) {
    std::vector<KeyInput> events;
    auto p = placementFor(c, t.layout);
    const unsigned ctrlAlt = p ? p->mods & kModAltGr : 0;
    // Ctrl or Alt alone would make a shortcut of the key, and a dead key would wait
    // for the next character and change it: those characters go as Unicode.
    const bool usable = p && (ctrlAlt == 0 || ctrlAlt == kModAltGr) &&
                        !api_.keyText(p->vk, p->mods, false, t.layout).dead;
    // Caps Lock turns the case of letters (and on some layouts of more keys). It is
    // never pressed to get it out of the way: where Shift turns it off that fails, and
    // with Toggle Keys on it beeps. The key gets the Shift state that types the
    // character under Caps Lock instead. With a modifier held by the caller the key is
    // pressed as the caller asks, as on a keyboard.
    if (usable && !callerHoldsAny() && capsLockOn(t.thread)) p = underCapsLock(c, *p, t.layout);
    if (!usable || !p) {
        appendUnicode(events, c);
        return events;
    }
    return withModifiers(*p, t.layout);
}

// The placement that types c while Caps Lock is on: as it is, or with Shift turned
// around; nothing when neither does, or when the Shift it needs would end Caps Lock
// (the user's "press Shift to turn off Caps Lock").
std::optional<Win32KeyboardDevice::Placement> Win32KeyboardDevice::underCapsLock(
    char16_t c, Placement p, LayoutHandle layout) {
    const std::u16string wanted(1, c);
    for (const Placement candidate : {p, Placement{p.vk, p.mods ^ kModShift}}) {
        const KeyText typed = api_.keyText(candidate.vk, candidate.mods, true, layout);
        if (typed.dead || typed.text != wanted) continue;
        if ((candidate.mods & kModShift) && api_.shiftTurnsCapsLockOff()) return std::nullopt;
        return candidate;
    }
    return std::nullopt;
}

// The keys Windows itself types for control characters.
std::vector<KeyInput> Win32KeyboardDevice::controlEvents(unsigned char c, LayoutHandle layout) {
    switch (c) {
        case 8:
            return withModifiers({kVkBack, 0}, layout);
        case 9:
            return withModifiers({kVkTab, 0}, layout);
        case 10:
            return withModifiers({kVkReturn, kModCtrl}, layout);
        case 13:
            return withModifiers({kVkReturn, 0}, layout);
        case 27:
            return withModifiers({kVkEscape, 0}, layout);
        case 0x7F:
            return withModifiers({kVkBack, kModCtrl}, layout);
        default:
            break;
    }
    // The letter keys have the letter's virtual key on every layout.
    if (c >= 1 && c <= 26) {
        return withModifiers({static_cast<std::uint8_t>('A' + c - 1), kModCtrl}, layout);
    }
    // 0 and 28..31 sit on keys that differ between layouts, and the layout says which.
    if (const auto p = placementFor(c, layout); p && (p->mods & kModAltGr) == kModCtrl) {
        return withModifiers(*p, layout);
    }
    std::vector<KeyInput> events;
    appendUnicode(events, c);
    return events;
}

// Presses the key with the modifiers it needs that the caller does not hold already,
// and releases only those: what the caller holds stays as it is.
std::vector<KeyInput> Win32KeyboardDevice::withModifiers(Placement p, LayoutHandle layout) {
    std::vector<std::uint8_t> pressed;
    const std::pair<unsigned, std::uint8_t> needs[] = {
        {kModShift, kVkShift}, {kModCtrl, kVkControl}, {kModAlt, kVkMenu}};
    for (const auto& [bit, vk] : needs) {
        if ((p.mods & bit) && !callerHolds(vk)) pressed.push_back(vk);
    }
    std::vector<KeyInput> events;
    for (std::uint8_t vk : pressed) events.push_back(keyEvent(vk, false, layout));
    events.push_back(keyEvent(p.vk, false, layout));
    events.push_back(keyEvent(p.vk, true, layout));
    for (auto it = pressed.rbegin(); it != pressed.rend(); ++it)
        events.push_back(keyEvent(*it, true, layout));
    return events;
}

// The scan code goes along with the virtual key: programs that read scan codes
// (games, remote desktops, terminal emulators) would see 0 otherwise.
KeyInput Win32KeyboardDevice::keyEvent(std::uint8_t vk, bool up, LayoutHandle layout) {
    const auto scan = static_cast<std::uint16_t>(api_.mapVirtualKey(vk, kMapVkToScan, layout));
    std::uint32_t flags = up ? kEventKeyUp : 0;
    if (isExtendedKey(vk)) flags |= kEventExtendedKey;
    return {vk, scan, flags};
}

bool Win32KeyboardDevice::callerHolds(std::uint8_t modifierVk) const {
    const auto keys = modifierKeys(modifierVk);
    return std::any_of(keys.begin(), keys.end(), [this](std::uint8_t vk) { return held_[vk]; });
}

bool Win32KeyboardDevice::callerHoldsAny() const {
    return callerHolds(kVkShift) || callerHolds(kVkControl) || callerHolds(kVkMenu);
}

// Windows drops input into a window of a higher integrity level (UIPI) and, on recent
// builds, SendInput still says it went in. A process that will not even tell its
// level is a system one (the UAC prompt): above ours too. Where our own level is not
// known, nothing can be compared and nothing is held back. A process keeps its level
// for life, so a window is looked at again only when another one is in front.
bool Win32KeyboardDevice::windowInFrontIsAbove() {
    const WindowHandle front = api_.foregroundWindow();
    if (!front) return false;
    const ProcessId process = api_.windowProcess(front);
    if (front == checked_.window && process == checked_.process) return checked_.above;
    if (!ownIntegrity_) ownIntegrity_ = api_.processIntegrity(api_.currentProcess());
    bool above = false;
    if (*ownIntegrity_ && process != api_.currentProcess()) {
        const auto theirs = api_.processIntegrity(process);
        above = !theirs || *theirs > **ownIntegrity_;
    }
    checked_ = {front, process, above};
    return above;
}

void Win32KeyboardDevice::send(const std::vector<KeyInput>& events) {
    if (windowInFrontIsAbove()) throw KeysRefused(kElevatedWindowReason);
    const unsigned inserted = api_.sendInput(events);
    if (inserted >= events.size()) return;
    // The character counts as typed once its own key went down: the first event that
    // is neither a modifier nor Caps Lock, or a Unicode one.
    const auto key = std::find_if(events.begin(), events.end(), [](const KeyInput& e) {
        const bool modifier =
            (e.vk >= kVkShift && e.vk <= kVkMenu) || (e.vk >= 0xA0 && e.vk <= 0xA5);
        return (e.flags & kEventUnicode) || !modifier;
    });
    const bool wentIn = key != events.end() && unsigned(key - events.begin()) < inserted;
    undoPartial(events, inserted);
    // What we believed held may have been let go, or never pressed: nothing is held.
    held_.reset();
    KeysRefused refused(kRefusedReason);
    refused.lastWentIn = wentIn;
    throw refused;
}

// A block that went in only in part may have left a key down; it is let go, as far
// as Windows lets us, before the refusal is reported.
void Win32KeyboardDevice::undoPartial(const std::vector<KeyInput>& events, unsigned inserted) {
    std::bitset<256> down;
    for (unsigned i = 0; i < inserted && i < events.size(); ++i) {
        const KeyInput& e = events[i];
        if (e.flags & kEventUnicode) continue;
        down.set(e.vk, (e.flags & kEventKeyUp) == 0);
    }
    std::vector<KeyInput> repair;
    const LayoutHandle layout = target().layout;
    for (unsigned vk = 1; vk < 255; ++vk) {
        if (down[vk] && !held_[vk])
            repair.push_back(keyEvent(static_cast<std::uint8_t>(vk), true, layout));
    }
    if (!repair.empty()) api_.sendInput(repair);
}

}  // namespace kest::win32
