#include "keyboard/x11/KeymapView.h"

#include <X11/keysym.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace kest::x11 {

namespace {

bool isLockKeysym(KeySym ks) {
    return ks == XK_Caps_Lock || ks == XK_Shift_Lock || ks == XK_Num_Lock || ks == XK_Scroll_Lock ||
           ks == XK_ISO_Lock || ks == XK_ISO_Level3_Lock || ks == XK_ISO_Level5_Lock ||
           ks == XK_ISO_Group_Lock;
}

bool ranksBefore(const Placement& a, const Placement& b) {
    const int bitsA = std::popcount(a.mods);
    const int bitsB = std::popcount(b.mods);
    if (bitsA != bitsB) return bitsA < bitsB;
    if (a.level != b.level) return a.level < b.level;
    return a.keycode < b.keycode;
}

}  // namespace

bool KeymapView::pressable(unsigned mods) const {
    for (int bit = 0; bit < 8; ++bit) {
        if ((mods & (1u << bit)) && modifierKeys_[bit] == 0) return false;
    }
    return true;
}

KeymapView::~KeymapView() {
    if (xkb_) XkbFreeKeyboard(xkb_, 0, True);
}

bool KeymapView::load(Display* display) {
    if (xkb_) XkbFreeKeyboard(xkb_, 0, True);
    xkb_ = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
    if (!xkb_) return false;
    if (XkbGetNames(display, XkbKeyNamesMask, xkb_) != Success) {
        XkbFreeKeyboard(xkb_, 0, True);
        xkb_ = nullptr;
        return false;
    }
    index();
    return true;
}

void KeymapView::index() {
    for (auto& list : byCharacter_) list.clear();
    modifierKeys_.fill(0);
    numLockMask_ = 0;
    for (int kc = xkb_->min_key_code; kc <= xkb_->max_key_code; ++kc) {
        const unsigned modmap = xkb_->map->modmap[kc];
        const KeySym first = XkbKeySymEntry(xkb_, kc, 0, 0);
        if (XkbKeyNumGroups(xkb_, kc) > 0 && first == XK_Num_Lock) numLockMask_ |= modmap;
        if (XkbKeyNumGroups(xkb_, kc) == 0 || first == NoSymbol || isLockKeysym(first)) continue;
        for (int bit = 0; bit < 8; ++bit) {
            if ((modmap & (1u << bit)) && modifierKeys_[bit] == 0) modifierKeys_[bit] = KeyCode(kc);
        }
    }
    for (int kc = xkb_->min_key_code; kc <= xkb_->max_key_code; ++kc) {
        for (int g = 0; g < XkbKeyNumGroups(xkb_, kc); ++g) {
            const XkbKeyTypeRec& type = *XkbKeyKeyType(xkb_, kc, g);
            for (int level = 0; level < type.num_levels; ++level) {
                const int ch = cp1252ForKeysym(Keysym(XkbKeySymEntry(xkb_, kc, level, g)));
                if (ch < 0) continue;
                const auto mods = modsForLevel(type, level);
                if (!mods || !pressable(*mods)) continue;
                byCharacter_[ch].push_back({KeyCode(kc), g, level, *mods, type.mods.mask});
            }
        }
    }
    for (auto& list : byCharacter_) std::sort(list.begin(), list.end(), ranksBefore);
}

// The smallest modifier set that selects level, leaving out levels that need Lock or
// NumLock: a caller must not depend on a lock state to get a character.
std::optional<unsigned> KeymapView::modsForLevel(const XkbKeyTypeRec& type, int level) const {
    const unsigned forbidden = LockMask | numLockMask_;
    std::optional<unsigned> bestMods;
    auto consider = [&](unsigned mods) {
        if (mods & forbidden) return;
        unsigned relevant = mods & type.mods.mask;
        int got = 0;
        for (int i = 0; i < type.map_count; ++i) {
            const XkbKTMapEntryRec& e = type.map[i];
            if (e.active && e.mods.mask == relevant) {
                got = e.level;
                break;
            }
        }
        if (got != level) return;
        if (!bestMods || std::popcount(mods) < std::popcount(*bestMods)) bestMods = mods;
    };
    consider(0);
    for (int i = 0; i < type.map_count; ++i) {
        if (type.map[i].active && type.map[i].level == level) consider(type.map[i].mods.mask);
    }
    return bestMods;
}

int KeymapView::levelFor(KeyCode keycode, int group, unsigned mods) const {
    if (!xkb_ || XkbKeyNumGroups(xkb_, keycode) == 0) return 0;
    const XkbKeyTypeRec& type =
        *XkbKeyKeyType(xkb_, keycode, group % XkbKeyNumGroups(xkb_, keycode));
    const unsigned relevant = mods & type.mods.mask;
    for (int i = 0; i < type.map_count; ++i) {
        if (type.map[i].active && type.map[i].mods.mask == relevant) return type.map[i].level;
    }
    return 0;
}

std::optional<Placement> KeymapView::best(const std::vector<Placement>& list, int activeGroup) {
    for (const Placement& p : list) {
        if (p.group == activeGroup) return p;
    }
    if (!list.empty()) return list.front();
    return std::nullopt;
}

std::optional<Placement> KeymapView::findCharacter(unsigned char c, int activeGroup) const {
    return best(byCharacter_[c], activeGroup);
}

std::vector<Placement> KeymapView::placementsOf(Keysym keysym) const {
    std::vector<Placement> list;
    if (!xkb_) return list;
    for (int kc = xkb_->min_key_code; kc <= xkb_->max_key_code; ++kc) {
        for (int g = 0; g < XkbKeyNumGroups(xkb_, kc); ++g) {
            const XkbKeyTypeRec& type = *XkbKeyKeyType(xkb_, kc, g);
            for (int level = 0; level < type.num_levels; ++level) {
                if (Keysym(XkbKeySymEntry(xkb_, kc, level, g)) != keysym) continue;
                if (auto mods = modsForLevel(type, level); mods && pressable(*mods)) {
                    list.push_back({KeyCode(kc), g, level, *mods, type.mods.mask});
                }
            }
        }
    }
    std::sort(list.begin(), list.end(), ranksBefore);
    return list;
}

std::optional<Placement> KeymapView::findKeysym(Keysym keysym, int activeGroup) const {
    return best(placementsOf(keysym), activeGroup);
}

std::optional<KeyCode> KeymapView::findUnshifted(Keysym keysym, int activeGroup) const {
    std::vector<Placement> list = placementsOf(keysym);
    std::erase_if(list, [](const Placement& p) { return p.level != 0; });
    if (auto p = best(list, activeGroup)) return p->keycode;
    return std::nullopt;
}

std::optional<KeyCode> KeymapView::findByName(std::string_view name) const {
    if (!xkb_ || !xkb_->names || !xkb_->names->keys || name.size() > XkbKeyNameLength) {
        return std::nullopt;
    }
    for (int kc = xkb_->min_key_code; kc <= xkb_->max_key_code; ++kc) {
        const char* keyName = xkb_->names->keys[kc].name;
        if (strnlen(keyName, XkbKeyNameLength) == name.size() &&
            std::memcmp(keyName, name.data(), name.size()) == 0 && XkbKeyNumGroups(xkb_, kc) > 0) {
            return KeyCode(kc);
        }
    }
    return std::nullopt;
}

KeyCode KeymapView::modifierKey(unsigned modBit) const {
    for (int bit = 0; bit < 8; ++bit) {
        if (modBit == (1u << bit)) return modifierKeys_[bit];
    }
    return 0;
}

int KeymapView::groupsOf(KeyCode keycode) const {
    if (!xkb_ || keycode < xkb_->min_key_code || keycode > xkb_->max_key_code) return 0;
    return XkbKeyNumGroups(xkb_, keycode);
}

std::vector<KeyCode> KeymapView::emptyKeycodes() const {
    std::vector<KeyCode> empty;
    if (!xkb_) return empty;
    for (int kc = xkb_->min_key_code; kc <= xkb_->max_key_code; ++kc) {
        bool any = false;
        for (int i = 0; i < XkbKeyNumSyms(xkb_, kc) && !any; ++i) {
            any = XkbKeySymsPtr(xkb_, kc)[i] != NoSymbol;
        }
        if (!any && xkb_->map->modmap[kc] == 0) empty.push_back(KeyCode(kc));
    }
    return empty;
}

Keysym KeymapView::keysymAt(KeyCode keycode, int group, int level) const {
    if (!xkb_ || keycode < xkb_->min_key_code || keycode > xkb_->max_key_code ||
        group >= XkbKeyNumGroups(xkb_, keycode) ||
        level >= XkbKeyGroupWidth(xkb_, keycode, group)) {
        return kNoKeysym;
    }
    return Keysym(XkbKeySymEntry(xkb_, keycode, level, group));
}

int KeymapView::minKeycode() const {
    return xkb_ ? xkb_->min_key_code : 8;
}
int KeymapView::maxKeycode() const {
    return xkb_ ? xkb_->max_key_code : 255;
}

}  // namespace kest::x11
