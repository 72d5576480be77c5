#include "keyboard/x11/XTestKeyboardDevice.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "keyboard/x11/SignalCleanup.h"
#include "keyboard/x11/XErrors.h"

namespace kest::x11 {

namespace {

std::string displayLabel(const char* name) {
    if (name) return name;
    const char* env = std::getenv("DISPLAY");
    return env ? env : "";
}

}  // namespace

XTestKeyboardDevice::XTestKeyboardDevice(const char* displayName, Timing timing)
    : timing_(timing), spares_(timing.reuseGuard) {
    installErrorHandler();
    XInitThreads();
    display_ = XOpenDisplay(displayName);
    if (!display_) {
        throw DeviceError("cannot open the X display \"" + displayLabel(displayName) + "\"");
    }
    int event = 0, error = 0, major = 0, minor = 0, opcode = 0;
    if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) {
        XCloseDisplay(display_);
        throw DeviceError("the X display has no XTEST extension to send keys with");
    }
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    if (!XkbQueryExtension(display_, &opcode, &xkbEventBase_, &error, &major, &minor)) {
        XCloseDisplay(display_);
        throw DeviceError("the X display has no XKEYBOARD extension to read the layout from");
    }
    const unsigned mapEvents = XkbMapNotifyMask | XkbNewKeyboardNotifyMask;
    XkbSelectEvents(display_, XkbUseCoreKbd, mapEvents, mapEvents);
    // The keyboard state comes as events too, so typing a character costs a single
    // round trip (the sync) rather than a state query on top of it.
    XkbSelectEventDetails(display_, XkbUseCoreKbd, XkbStateNotify, XkbAllStateComponentsMask,
                          XkbAllStateComponentsMask);
    XkbGetState(display_, XkbUseCoreKbd, &state_);
    try {
        reloadKeymap();
    } catch (const DeviceError&) {
        XCloseDisplay(display_);
        throw;
    }
    signalCleanupId_ = SignalCleanup::add([this] {
        std::lock_guard lock(mutex_);
        restoreLocked(true);
        closing_ = true;  // the program is ending: type nothing more
    });
    janitor_ = std::thread([this] { janitor(); });
}

XTestKeyboardDevice::~XTestKeyboardDevice() {
    // Unregister first, so a signal cleanup that is running finishes before we go.
    SignalCleanup::remove(signalCleanupId_);
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        restoreLocked(true);
    }
    wake_.notify_all();
    janitor_.join();
    XCloseDisplay(display_);
}

void XTestKeyboardDevice::typeCharacter(unsigned char c) {
    std::lock_guard lock(mutex_);
    if (closing_) throw DeviceError("the keyboard is closing");
    refreshKeymap();
    if (c < 0x20 || c == 0x7F) {
        typeControl(c);
    } else {
        typePrintable(c, 0);
    }
    // One round trip per character: the server has every event of this character
    // before the next one is built, so nothing overtakes anything.
    XSync(display_, False);
    markActivity();
}

void XTestKeyboardDevice::keybdEvent(std::uint8_t vk, std::uint32_t flags) {
    std::lock_guard lock(mutex_);
    if (closing_) throw DeviceError("the keyboard is closing");
    refreshKeymap();
    const XkbStateRec state = state_;
    if (flags & kKeyUp) {
        KeyCode keycode = 0;
        if (auto it = heldVirtualKeys_.find(vk); it != heldVirtualKeys_.end()) {
            keycode = it->second;
            heldVirtualKeys_.erase(it);
            spares_.setHeld(keycode, false);
        } else {
            keycode = keycodeForVirtualKey(vk, state.group, false);
        }
        if (keycode) fakeKey(keycode, false);
    } else {
        const KeyCode keycode = keycodeForVirtualKey(vk, state.group, true);
        // Codes that name no key of a PC keyboard have no X key to press; the event is
        // dropped, as no program would know what to make of it.
        if (!keycode) return;
        fakeKey(keycode, true);
        heldVirtualKeys_[vk] = keycode;
        spares_.setHeld(keycode, true);
    }
    XSync(display_, False);
    markActivity();
}

void XTestKeyboardDevice::sync() {
    std::lock_guard lock(mutex_);
    XSync(display_, False);
}

void XTestKeyboardDevice::restoreSpareKeys() {
    std::lock_guard lock(mutex_);
    restoreLocked(true);
}

std::size_t XTestKeyboardDevice::boundSpareKeys() {
    std::lock_guard lock(mutex_);
    return spares_.boundKeycodes().size();
}

// Keymap changes reach us as events on our own connection; nothing is looked up in a
// keymap older than the last change the server has told us of.
void XTestKeyboardDevice::refreshKeymap() {
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            keymapStale_ = true;
        } else if (event.type == xkbEventBase_) {
            const int kind = reinterpret_cast<XkbAnyEvent*>(&event)->xkb_type;
            if (kind == XkbMapNotify || kind == XkbNewKeyboardNotify) keymapStale_ = true;
            if (kind == XkbStateNotify) takeState(*reinterpret_cast<XkbStateNotifyEvent*>(&event));
        }
    }
    if (keymapStale_) reloadKeymap();
}

void XTestKeyboardDevice::takeState(const XkbStateNotifyEvent& e) {
    state_.group = static_cast<unsigned char>(e.group);
    state_.base_group = static_cast<short>(e.base_group);
    state_.latched_group = static_cast<short>(e.latched_group);
    state_.locked_group = static_cast<unsigned char>(e.locked_group);
    state_.mods = static_cast<unsigned char>(e.mods);
    state_.base_mods = static_cast<unsigned char>(e.base_mods);
    state_.latched_mods = static_cast<unsigned char>(e.latched_mods);
    state_.locked_mods = static_cast<unsigned char>(e.locked_mods);
}

void XTestKeyboardDevice::reloadKeymap() {
    if (!keymap_.load(display_)) throw DeviceError("the X server did not give its keymap");
    spares_.reconcile(keymap_.emptyKeycodes(), [this](SparePool::Keycode kc, int group, int level) {
        return keymap_.keysymAt(kc, group, level);
    });
    keymapStale_ = false;
}

void XTestKeyboardDevice::typePrintable(unsigned char c, unsigned extraMods) {
    const Keysym keysym = keysymForCp1252(c);
    const XkbStateRec state = state_;
    if (auto spare = boundSpare(keysym)) {
        press(*spare, extraMods, state);
        return;
    }
    auto found = keymap_.findCharacter(c, state.group);
    // A spare keycode re-bound since the view was read may still show its old character.
    if (found && spares_.contains(found->keycode)) found.reset();
    press(found ? *found : spareFor(keysym), extraMods, state);
}

void XTestKeyboardDevice::typeControl(unsigned char c) {
    const ControlChord chord = controlChordFor(c);
    const unsigned mods = chord.ctrl ? ControlMask : 0;
    // Ctrl with a character goes to the layout's key for that character.
    if (const int printable = cp1252ForKeysym(chord.keysym); printable >= 0x20)
        return typePrintable(static_cast<unsigned char>(printable), mods);
    typeKeysym(chord.keysym, mods);
}

void XTestKeyboardDevice::typeKeysym(Keysym keysym, unsigned extraMods) {
    const XkbStateRec state = state_;
    if (auto spare = boundSpare(keysym)) {
        press(*spare, extraMods, state);
    } else if (auto found = keymap_.findKeysym(keysym, state.group)) {
        press(*found, extraMods, state);
    } else {
        press(spareFor(keysym), extraMods, state);
    }
}

// Presses the key with exactly the modifiers (and group) its level needs on top of
// what is held already, with locks that would change the level lifted for the moment,
// and puts everything back afterwards.
void XTestKeyboardDevice::press(const Placement& p, unsigned extraMods, const XkbStateRec& state) {
    const unsigned wanted = p.mods | extraMods;
    // A spare key goes in exactly the group of its spot, so that its events read the
    // same after groups are added to it; the view may not show those groups yet.
    const int keyGroups = keymap_.groupsOf(p.keycode);
    const bool switchGroup = spares_.contains(p.keycode)
                                 ? state.group != p.group
                                 : keyGroups > 1 && state.group % keyGroups != p.group;
    // Lock always goes: besides the key's own type, programs apply Caps Lock to
    // letters themselves.
    const unsigned lockedInTheWay = state.locked_mods & (LockMask | (p.typeMask & ~wanted));
    if (switchGroup) XkbLockGroup(display_, XkbUseCoreKbd, unsigned(p.group));
    if (lockedInTheWay) XkbLockModifiers(display_, XkbUseCoreKbd, lockedInTheWay, 0);
    const unsigned active = state.mods & ~lockedInTheWay;
    std::vector<KeyCode> modifierKeys;
    for (unsigned bit = 1; bit < 0x100; bit <<= 1) {
        if ((wanted & bit) && !(active & bit)) {
            if (KeyCode kc = keymap_.modifierKey(bit)) modifierKeys.push_back(kc);
        }
    }
    for (KeyCode kc : modifierKeys) fakeKey(kc, true);
    fakeKey(p.keycode, true);
    fakeKey(p.keycode, false);
    for (auto it = modifierKeys.rbegin(); it != modifierKeys.rend(); ++it) fakeKey(*it, false);
    if (lockedInTheWay) XkbLockModifiers(display_, XkbUseCoreKbd, lockedInTheWay, lockedInTheWay);
    if (switchGroup) XkbLockGroup(display_, XkbUseCoreKbd, state.locked_group);
}

void XTestKeyboardDevice::prepareCharacters(std::string_view text) {
    std::lock_guard lock(mutex_);
    if (closing_) return;
    refreshKeymap();
    const auto now = Clock::now();
    std::vector<Keysym> missing;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        const Keysym keysym = keysymForCp1252(c);
        if (keysym == kNoKeysym) continue;
        if (auto spot = spares_.boundTo(keysym)) {
            spares_.touch(spot->keycode, now);  // needed again: not the one to re-bind
        } else if (auto found = keymap_.findCharacter(c, state_.group);
                   !found || spares_.contains(found->keycode)) {
            missing.push_back(keysym);
        }
    }
    std::vector<KeyCode> changed;
    for (Keysym keysym : missing) {
        if (spares_.boundTo(keysym)) continue;  // a character given twice
        const auto choice = spares_.choose();
        // What would have to wait is bound when its character comes.
        if (!choice || choice->notBefore > now) break;
        spares_.bind(choice->spot, keysym, now);
        changed.push_back(choice->spot.keycode);
    }
    if (changed.empty()) return;
    // Typing starts now: the janitor must not take the new bindings back as idle ones.
    markActivity();
    writeSpareKeys(changed);
    std::this_thread::sleep_for(timing_.settle);
}

std::optional<Placement> XTestKeyboardDevice::boundSpare(Keysym keysym) {
    const auto spot = spares_.boundTo(keysym);
    if (!spot) return std::nullopt;
    spares_.touch(spot->keycode, Clock::now());
    const unsigned mods = spot->level == 1 ? ShiftMask : 0;
    return Placement{spot->keycode, spot->group, spot->level, mods, ShiftMask};
}

Placement XTestKeyboardDevice::spareFor(Keysym keysym, bool firstSpotOnly) {
    const auto choice = spares_.choose(firstSpotOnly);
    if (!choice) throw DeviceError("no spare keycode is left to type a character the layout lacks");
    // Events of the keycode's last character may still wait in a receiver's queue.
    if (choice->notBefore > Clock::now()) std::this_thread::sleep_until(choice->notBefore);
    spares_.bind(choice->spot, keysym, Clock::now());
    writeSpareKeys({choice->spot.keycode});
    std::this_thread::sleep_for(timing_.settle);
    return *boundSpare(keysym);
}

// Gives the keycodes what the pool says they carry, in one keymap change: each group
// of two levels (plain and Shift), nothing where the pool has nothing. XKB rather than
// the core request, so that the number of groups of the keyboard goes back to what
// it was once the spare keys are empty again.
void XTestKeyboardDevice::writeSpareKeys(std::vector<KeyCode> keycodes) {
    std::sort(keycodes.begin(), keycodes.end());
    keycodes.erase(std::unique(keycodes.begin(), keycodes.end()), keycodes.end());
    // The key actions too, though none change: Xlib looks at them when it resizes a key.
    XkbDescPtr xkb =
        XkbGetMap(display_, XkbKeyTypesMask | XkbKeySymsMask | XkbKeyActionsMask, XkbUseCoreKbd);
    if (!xkb) throw DeviceError("the X server did not give its keymap");
    XkbMapChangesRec changes{};
    int types[XkbNumKbdGroups] = {XkbTwoLevelIndex, XkbTwoLevelIndex, XkbTwoLevelIndex,
                                  XkbTwoLevelIndex};
    for (KeyCode kc : keycodes) {
        const int groups = spares_.groupsOf(kc);
        XkbChangeTypesOfKey(xkb, kc, groups, XkbAllGroupsMask, types, &changes);
        const auto syms = spares_.keysymsOf(kc);
        for (int g = 0; g < groups; ++g) {
            for (int l = 0; l < SparePool::kLevels; ++l) {
                XkbKeySymEntry(xkb, kc, l, g) = syms[std::size_t(g * SparePool::kLevels + l)];
            }
        }
    }
    const auto [low, high] = std::minmax_element(keycodes.begin(), keycodes.end());
    changes.changed |= XkbKeySymsMask;
    changes.first_key_sym = *low;
    changes.num_key_syms = static_cast<unsigned char>(*high - *low + 1);
    const unsigned long errorsBefore = errorCount();
    XkbChangeMap(display_, xkb, &changes);
    XkbFreeKeyboard(xkb, 0, True);
    XSync(display_, False);
    if (errorCount() != errorsBefore)
        throw DeviceError("the X server refused to bind a spare keycode");
    keymapStale_ = true;
    wake_.notify_all();  // the janitor has bindings to look after now
}

KeyCode XTestKeyboardDevice::keycodeForVirtualKey(std::uint8_t vk, int group, bool mayBind) {
    const VirtualKey key = virtualKeyFor(vk);
    if (key.keysym == kNoKeysym) return 0;
    if (auto kc = keymap_.findUnshifted(key.keysym, group); kc && !spares_.contains(*kc))
        return *kc;
    if (key.keyName) {
        if (auto kc = keymap_.findByName(key.keyName)) return *kc;
    }
    if (auto p = keymap_.findKeysym(key.keysym, group); p && !spares_.contains(p->keycode)) {
        return p->keycode;
    }
    // A raw key press has no modifiers or group of its own: only a first spot will do.
    if (auto spot = spares_.boundTo(key.keysym); spot && spot->group == 0 && spot->level == 0) {
        spares_.touch(spot->keycode, Clock::now());
        return spot->keycode;
    }
    return mayBind ? spareFor(key.keysym, true).keycode : 0;
}

void XTestKeyboardDevice::fakeKey(KeyCode keycode, bool down) {
    XTestFakeKeyEvent(display_, keycode, down ? True : False, CurrentTime);
    if (spares_.contains(keycode)) spares_.touch(keycode, Clock::now());
}

// The janitor needs no wake-up here: its deadline only ever moves later, and it
// looks at lastActivity_ again when the old deadline passes.
void XTestKeyboardDevice::markActivity() {
    lastActivity_ = Clock::now();
}

void XTestKeyboardDevice::restoreLocked(bool releaseHeld) {
    if (releaseHeld) {
        for (const auto& [vk, keycode] : heldVirtualKeys_) {
            fakeKey(keycode, false);
            spares_.setHeld(keycode, false);
        }
        heldVirtualKeys_.clear();
    }
    try {
        refreshKeymap();
    } catch (const DeviceError& e) {
        std::fprintf(stderr, "kest: restoring spare keycodes with an old keymap view: %s\n",
                     e.what());
    }
    const auto bound = spares_.boundKeycodes();
    if (!bound.empty()) {
        std::this_thread::sleep_until(spares_.restoreNotBefore());
        spares_.unbindAll();
        try {
            writeSpareKeys(bound);
        } catch (const DeviceError& e) {
            std::fprintf(stderr, "kest: giving the spare keycodes back: %s\n", e.what());
        }
    }
    XSync(display_, False);
}

// Gives the spare keycodes back once typing has stopped for a while. Sleeps on the
// condition variable, so an idle program costs no CPU.
void XTestKeyboardDevice::janitor() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (spares_.boundKeycodes().empty()) {
            wake_.wait(lock);
            continue;
        }
        const auto deadline = lastActivity_ + timing_.idleRestore;
        if (Clock::now() >= deadline) {
            restoreLocked(false);
        } else {
            wake_.wait_until(lock, deadline);
        }
    }
}

}  // namespace kest::x11
