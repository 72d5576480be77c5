#include "keyboard/win32/Win32KeyboardDevice.h"

#include <algorithm>
#include <array>

#include "keyboard/Cp1252.h"

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
    send({keyEvent(vk, up, targetLayout())});
    held_.set(vk, !up);
}

void Win32KeyboardDevice::typeCharacter(unsigned char c) {
    const LayoutHandle layout = targetLayout();
    if (c < 0x20 || c == 0x7F) {
        send(controlEvents(c, layout));
    } else {
        // Every Windows-1252 character lies in the Basic Multilingual Plane.
        send(printableEvents(static_cast<char16_t>(cp1252ToUnicode(c)), layout));
    }
}

// SendInput returns once the events are in the system's input stream, in order and
// not interleaved with other input, so every event is taken by the time a call
// returns: there is nothing left to wait for. Whether the receiving program has read
// them yet is something Windows does not tell.
void Win32KeyboardDevice::sync() {}

// Layouts are per thread on Windows: the characters must come from the layout of the
// thread that will read the keys, not from ours.
LayoutHandle Win32KeyboardDevice::targetLayout() {
    const WindowHandle foreground = api_.foregroundWindow();
    return api_.keyboardLayout(foreground ? api_.windowThread(foreground) : 0);
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

std::vector<KeyInput> Win32KeyboardDevice::printableEvents(char16_t c, LayoutHandle layout) {
    std::vector<KeyInput> events;
    const auto p = placementFor(c, layout);
    const unsigned ctrlAlt = p ? p->mods & kModAltGr : 0;
    // Ctrl or Alt alone would make a shortcut of the key, and a dead key would wait
    // for the next character and change it: those characters go as Unicode.
    const bool usable =
        p && (ctrlAlt == 0 || ctrlAlt == kModAltGr) && !api_.keyText(p->vk, p->mods, false, layout).dead;
    if (!usable) {
        appendUnicode(events, c);
        return events;
    }
    // Caps Lock would turn the case of letters (and on some layouts of more keys), so
    // it is off while the key goes down, as the layout's table assumes. With Ctrl or
    // Alt held by the caller the key is a shortcut, which Caps Lock does not change.
    const bool liftCapsLock =
        api_.isToggled(kVkCapital, 0) && !callerHolds(kVkControl) && !callerHolds(kVkMenu);
    if (liftCapsLock) {
        events.push_back(keyEvent(kVkCapital, false, layout));
        events.push_back(keyEvent(kVkCapital, true, layout));
    }
    const auto keys = withModifiers(*p, layout);
    events.insert(events.end(), keys.begin(), keys.end());
    if (liftCapsLock) {
        events.push_back(keyEvent(kVkCapital, false, layout));
        events.push_back(keyEvent(kVkCapital, true, layout));
    }
    return events;
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

void Win32KeyboardDevice::send(const std::vector<KeyInput>& events) {
    const unsigned inserted = api_.sendInput(events);
    if (inserted >= events.size()) return;
    undoPartial(events, inserted);
    throw DeviceError("Windows did not take the key events (another program may block input)");
}

// A block that went in only in part may have left a key down or Caps Lock turned
// off; both are put back, as far as Windows lets us, before the failure is reported.
void Win32KeyboardDevice::undoPartial(const std::vector<KeyInput>& events, unsigned inserted) {
    std::bitset<256> down;
    bool capsFlipped = false;
    for (unsigned i = 0; i < inserted && i < events.size(); ++i) {
        const KeyInput& e = events[i];
        if (e.flags & kEventUnicode) continue;
        const bool up = (e.flags & kEventKeyUp) != 0;
        if (e.vk == kVkCapital && !up) capsFlipped = !capsFlipped;
        down.set(e.vk, !up);
    }
    std::vector<KeyInput> repair;
    const LayoutHandle layout = targetLayout();
    for (unsigned vk = 1; vk < 255; ++vk) {
        if (down[vk] && !held_[vk])
            repair.push_back(keyEvent(static_cast<std::uint8_t>(vk), true, layout));
    }
    if (capsFlipped) {
        repair.push_back(keyEvent(kVkCapital, false, layout));
        repair.push_back(keyEvent(kVkCapital, true, layout));
    }
    if (!repair.empty()) api_.sendInput(repair);
}

}  // namespace kest::win32
