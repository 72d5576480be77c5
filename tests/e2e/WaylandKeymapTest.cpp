// The keymap the Wayland device uploads, checked the way a receiver reads it: the text
// compiled anew by libxkbcommon, each key pressed with the modifiers we declare.

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <set>

#include "keyboard/Cp1252.h"
#include "keyboard/wayland/WaylandKeymap.h"
#include "keyboard/x11/Keysyms.h"

namespace kest::wayland {
namespace {

// The keymap as a receiver compiles it from the text the device uploads.
class WaylandKeymapTest : public ::testing::Test {
  protected:
    // A fresh keyboard state of the receiver with these modifiers down.
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> pressed(std::uint32_t mods) const {
        std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_state_new(compiled_.get()),
                                                                     &xkb_state_unref);
        xkb_state_update_mask(state.get(), mods, 0, 0, 0, 0, 0);
        return state;
    }

    const WaylandKeymap keymap_ = WaylandKeymap::build();
    const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context_{
        xkb_context_new(XKB_CONTEXT_NO_FLAGS), &xkb_context_unref};
    const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> compiled_{
        xkb_keymap_new_from_string(context_.get(), keymap_.text().c_str(),
                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS),
        &xkb_keymap_unref};
};

// Every byte gives the receiver its character (libxkbcommon applies Control as
// terminals do: Ctrl+A is 1), each on a key and level of its own below keycode 256
// (X programs under Xwayland reach no higher), with no include a receiver would have to
// resolve. Line feed and Delete are the keys Windows types for them: Ctrl+Enter and
// Ctrl+Backspace.
TEST_F(WaylandKeymapTest, EveryByteTypesItsCharacterOnAKeyOfItsOwn) {
    ASSERT_NE(compiled_, nullptr);
    EXPECT_EQ(keymap_.text().find("include"), std::string::npos);
    const ModifierMasks& m = keymap_.masks();
    std::set<std::pair<std::uint32_t, std::uint32_t>> used;
    for (int c = 0; c <= 0xFF; ++c) {
        const auto byte = static_cast<unsigned char>(c);
        const KeyPlacement& p = keymap_.character(byte);
        EXPECT_GE(p.keycode, 8u) << c;
        EXPECT_LE(p.keycode, 255u) << c;
        const bool control = c < 0x20 || c == 0x7F;
        EXPECT_EQ(p.mods & ~(control ? m.shift | m.control : m.shift), 0u) << c;
        std::uint32_t wanted = cp1252ToUnicode(byte);
        if (c == '\n' || c == 0x7F) {
            EXPECT_EQ(p.mods, m.control) << c;
            wanted = c == '\n' ? '\r' : '\b';
        }
        EXPECT_EQ(xkb_state_key_get_utf32(pressed(p.mods).get(), p.keycode), wanted)
            << std::hex << c;
        EXPECT_TRUE(used.insert({p.keycode, p.mods}).second) << "two characters on one key " << c;
    }
}

TEST_F(WaylandKeymapTest, EverySupportedVirtualKeyHasAKeyOfItsOwnKeysym) {
    ASSERT_NE(compiled_, nullptr);
    int supported = 0;
    for (int vk = 0; vk < 256; ++vk) {
        const x11::VirtualKey key = x11::virtualKeyFor(std::uint8_t(vk));
        const auto p = keymap_.virtualKey(std::uint8_t(vk));
        if (key.keysym == x11::kNoKeysym) {
            EXPECT_FALSE(p) << vk;
            continue;
        }
        ++supported;
        ASSERT_TRUE(p) << vk;
        EXPECT_LE(p->keycode, 255u) << vk;
        EXPECT_EQ(p->mods, 0u) << vk;
        // A key with a fixed place on a PC keyboard (Right Shift, the keypad's digits,
        // which give their digit only with Num Lock) is that key, not any key with the
        // same keysym; any other key is the one that types the keysym.
        const xkb_keycode_t named = key.keyName
                                        ? xkb_keymap_key_by_name(compiled_.get(), key.keyName)
                                        : XKB_KEYCODE_INVALID;
        if (named != XKB_KEYCODE_INVALID)
            EXPECT_EQ(p->keycode, named) << std::hex << vk;
        else
            EXPECT_EQ(xkb_state_key_get_one_sym(pressed(0).get(), p->keycode), key.keysym)
                << std::hex << vk;
    }
    EXPECT_GT(supported, 140);
}

}  // namespace
}  // namespace kest::wayland
