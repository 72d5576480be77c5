#include "keyboard/wayland/LayoutKeys.h"

#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "keyboard/Cp1252.h"

namespace kest::wayland {

namespace {

using ContextPtr = std::unique_ptr<xkb_context, decltype(&xkb_context_unref)>;
using StatePtr = std::unique_ptr<xkb_state, decltype(&xkb_state_unref)>;

constexpr xkb_keysym_t kLevel3Shift = 0xfe03;  // ISO_Level3_Shift: AltGr
constexpr xkb_keysym_t kFirstDeadKey = 0xfe50;
constexpr xkb_keysym_t kLastDeadKey = 0xfe8f;

bool isDeadKey(xkb_keysym_t keysym) {
    return keysym >= kFirstDeadKey && keysym <= kLastDeadKey;
}

// A key with fewer layouts than the keymap gives its first one on the others.
bool hasSymbols(xkb_keymap* keymap, xkb_keycode_t kc) {
    return xkb_keymap_num_layouts_for_key(keymap, kc) > 0;
}

// The key that gives AltGr on the layout: the right Alt key where it does, else any.
std::uint32_t levelThreeKey(xkb_keymap* keymap, std::uint32_t group) {
    std::uint32_t found = 0;
    for (xkb_keycode_t kc = xkb_keymap_min_keycode(keymap); kc <= xkb_keymap_max_keycode(keymap);
         ++kc) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, kc, group, 0, &syms) != 1 ||
            syms[0] != kLevel3Shift) {
            continue;
        }
        const char* name = xkb_keymap_key_get_name(keymap, kc);
        if (name && std::string(name) == "RALT") return kc;
        if (!found) found = kc;
    }
    return found;
}

// The character a compose sequence gives, as a Windows-1252 byte; -1 for none.
int composed(xkb_compose_state* state, xkb_keysym_t dead, xkb_keysym_t base) {
    xkb_compose_state_reset(state);
    xkb_compose_state_feed(state, dead);
    xkb_compose_state_feed(state, base);
    if (xkb_compose_state_get_status(state) != XKB_COMPOSE_COMPOSED) return -1;
    char utf8[16];
    xkb_compose_state_get_utf8(state, utf8, sizeof utf8);
    const std::u32string text = utf8ToUnicode(utf8);
    if (text.size() != 1 || text[0] < 0x20) return -1;
    return unicodeToCp1252(text[0]);
}

}  // namespace

LayoutKeys::LayoutKeys(const std::string& keymapText, const std::string& composeLocale) {
    ContextPtr context(xkb_context_new(XKB_CONTEXT_NO_FLAGS), &xkb_context_unref);
    if (!context) throw KeymapError("libxkbcommon could not start");
    keymap_ = xkb_keymap_new_from_string(context.get(), keymapText.c_str(),
                                         XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap_) throw KeymapError("the desktop's keyboard layout could not be read");
    layoutCount_ = std::max<std::uint32_t>(1, xkb_keymap_num_layouts(keymap_));
    const xkb_keycode_t shift = xkb_keymap_key_by_name(keymap_, "LFSH");
    const xkb_keycode_t control = xkb_keymap_key_by_name(keymap_, "LCTL");
    shiftKey_ = shift == XKB_KEYCODE_INVALID ? 0 : shift;
    controlKey_ = control == XKB_KEYCODE_INVALID ? 0 : control;
    layouts_.resize(layoutCount_);
    for (std::uint32_t group = 0; group < layoutCount_; ++group) {
        indexLayout(group);
        if (!composeLocale.empty()) indexDeadKeys(group, composeLocale);
    }
}

LayoutKeys::~LayoutKeys() {
    if (keymap_) xkb_keymap_unref(keymap_);
}

LayoutKeys::LayoutKeys(LayoutKeys&& other) noexcept {
    *this = std::move(other);
}

LayoutKeys& LayoutKeys::operator=(LayoutKeys&& other) noexcept {
    std::swap(keymap_, other.keymap_);
    layoutCount_ = other.layoutCount_;
    shiftKey_ = other.shiftKey_;
    controlKey_ = other.controlKey_;
    layouts_ = std::move(other.layouts_);
    return *this;
}

// Every key with none, Shift, AltGr and Shift+AltGr held, as the compositor's own
// state computes it: keys up to 255 first (X programs under Xwayland have no others),
// then fewer modifier keys, then the lower key code.
void LayoutKeys::indexLayout(std::uint32_t group) {
    const std::uint32_t altGr = levelThreeKey(keymap_, group);
    std::vector<std::vector<std::uint32_t>> combinations{{}};
    if (shiftKey_) combinations.push_back({shiftKey_});
    if (altGr) combinations.push_back({altGr});
    if (shiftKey_ && altGr) combinations.push_back({shiftKey_, altGr});
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap_);
    indexKeys(group, combinations, xkb_keymap_min_keycode(keymap_),
              std::min<xkb_keycode_t>(last, 255));
    if (last > 255) indexKeys(group, combinations, 256, last);
}

void LayoutKeys::indexKeys(std::uint32_t group,
                           const std::vector<std::vector<std::uint32_t>>& combinations,
                           std::uint32_t first, std::uint32_t last) {
    Layout& layout = layouts_[group];
    for (const auto& modifiers : combinations) {
        StatePtr state(xkb_state_new(keymap_), &xkb_state_unref);
        xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, group);
        for (std::uint32_t kc : modifiers) xkb_state_update_key(state.get(), kc, XKB_KEY_DOWN);
        for (xkb_keycode_t kc = first; kc <= last; ++kc) {
            const bool isModifier =
                std::find(modifiers.begin(), modifiers.end(), kc) != modifiers.end();
            if (!hasSymbols(keymap_, kc) || kc == shiftKey_ || isModifier) continue;
            const xkb_keysym_t keysym = xkb_state_key_get_one_sym(state.get(), kc);
            if (keysym == XKB_KEY_NoSymbol || keysym == kLevel3Shift) continue;
            const KeyStroke stroke{modifiers, kc};
            layout.keysyms.try_emplace(keysym, stroke);
            if (modifiers.empty()) layout.firstLevel.try_emplace(keysym, kc);
            const int byte = x11::cp1252ForKeysym(keysym);
            if (byte >= 0x20 && !layout.direct[std::size_t(byte)])
                layout.direct[std::size_t(byte)] = CharacterKeys{group, {stroke}};
        }
    }
}

// Characters the layout gives only through a dead key: the dead key, then a character
// it has, composed as receivers compose it (GTK, Qt and input methods read the same
// compose tables).
void LayoutKeys::indexDeadKeys(std::uint32_t group, const std::string& composeLocale) {
    ContextPtr context(xkb_context_new(XKB_CONTEXT_NO_FLAGS), &xkb_context_unref);
    if (!context) return;
    std::unique_ptr<xkb_compose_table, decltype(&xkb_compose_table_unref)> table(
        xkb_compose_table_new_from_locale(context.get(), composeLocale.c_str(),
                                          XKB_COMPOSE_COMPILE_NO_FLAGS),
        &xkb_compose_table_unref);
    if (!table) return;
    std::unique_ptr<xkb_compose_state, decltype(&xkb_compose_state_unref)> state(
        xkb_compose_state_new(table.get(), XKB_COMPOSE_STATE_NO_FLAGS), &xkb_compose_state_unref);
    Layout& layout = layouts_[group];
    for (const auto& [dead, deadStroke] : layout.keysyms) {
        if (!isDeadKey(dead)) continue;
        for (int base = 0x20; base < 256; ++base) {
            const auto& baseKeys = layout.direct[std::size_t(base)];
            if (!baseKeys) continue;
            const int byte = composed(state.get(), dead, x11::keysymForCp1252(std::uint8_t(base)));
            if (byte < 0x20 || layout.direct[std::size_t(byte)] || layout.dead[std::size_t(byte)])
                continue;
            layout.dead[std::size_t(byte)] =
                CharacterKeys{group, {deadStroke, baseKeys->strokes.front()}};
        }
    }
}

std::optional<CharacterKeys> LayoutKeys::character(unsigned char c, std::uint32_t active,
                                                   bool otherLayouts) const {
    if (active >= layoutCount_) active = 0;
    std::vector<std::uint32_t> order{active};
    for (std::uint32_t g = 0; otherLayouts && g < layoutCount_; ++g) {
        if (g != active) order.push_back(g);
    }
    for (std::uint32_t group : order) {
        if (c < 0x20 || c == 0x7F) {
            const x11::ControlChord chord = x11::controlChordFor(c);
            auto stroke = keysym(chord.keysym, group);
            if (!stroke) continue;
            if (chord.ctrl) stroke->modifiers.insert(stroke->modifiers.begin(), controlKey_);
            return CharacterKeys{group, {*stroke}};
        }
        if (const auto& direct = layouts_[group].direct[c]) return direct;
        if (const auto& dead = layouts_[group].dead[c]) return dead;
    }
    return std::nullopt;
}

std::optional<KeyStroke> LayoutKeys::keysym(x11::Keysym keysym, std::uint32_t layout) const {
    if (layout >= layoutCount_) return std::nullopt;
    const auto& keysyms = layouts_[layout].keysyms;
    if (auto it = keysyms.find(keysym); it != keysyms.end()) return it->second;
    return std::nullopt;
}

std::optional<std::uint32_t> LayoutKeys::virtualKey(std::uint8_t vk, std::uint32_t layout) const {
    if (layout >= layoutCount_) return std::nullopt;
    const x11::VirtualKey key = x11::virtualKeyFor(vk);
    if (key.keysym == x11::kNoKeysym) return std::nullopt;
    if (key.keyName) {
        const xkb_keycode_t kc = xkb_keymap_key_by_name(keymap_, key.keyName);
        if (kc != XKB_KEYCODE_INVALID && hasSymbols(keymap_, kc)) return kc;
    }
    const auto& firstLevel = layouts_[layout].firstLevel;
    if (auto it = firstLevel.find(key.keysym); it != firstLevel.end()) return it->second;
    return std::nullopt;
}

}  // namespace kest::wayland
