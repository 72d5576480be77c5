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

class WaylandKeymapTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        keymap_ = new WaylandKeymap(WaylandKeymap::build());
        context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        compiled_ =
            xkb_keymap_new_from_string(context_, keymap_->text().c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                       XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    static void TearDownTestSuite() {
        xkb_keymap_unref(compiled_);
        xkb_context_unref(context_);
        delete keymap_;
    }

    // The keysym a receiver sees for the key with these modifiers.
    static xkb_keysym_t typed(const KeyPlacement& p) {
        std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_state_new(compiled_),
                                                                     &xkb_state_unref);
        xkb_state_update_mask(state.get(), p.mods, 0, 0, 0, 0, 0);
        return xkb_state_key_get_one_sym(state.get(), p.keycode);
    }

    static WaylandKeymap* keymap_;
    static xkb_context* context_;
    static xkb_keymap* compiled_;
};

WaylandKeymap* WaylandKeymapTest::keymap_ = nullptr;
xkb_context* WaylandKeymapTest::context_ = nullptr;
xkb_keymap* WaylandKeymapTest::compiled_ = nullptr;

TEST_F(WaylandKeymapTest, IsSelfContainedAndCompiles) {
    ASSERT_NE(compiled_, nullptr);
    EXPECT_EQ(keymap_->text().find("include"), std::string::npos);
}

TEST_F(WaylandKeymapTest, EveryPrintableCharacterTypesItselfBelowKeycode256) {
    ASSERT_NE(compiled_, nullptr);
    const std::uint32_t locks = keymap_->masks().capsLock | keymap_->masks().numLock;
    std::set<std::pair<std::uint32_t, std::uint32_t>> used;
    for (int c = 0x20; c <= 0xFF; ++c) {
        if (c == 0x7F) continue;
        const auto byte = static_cast<unsigned char>(c);
        const KeyPlacement& p = keymap_->character(byte);
        EXPECT_GE(p.keycode, 8u) << c;
        EXPECT_LE(p.keycode, 255u) << c;
        EXPECT_EQ(p.mods & locks, 0u) << c;
        EXPECT_EQ(p.mods & ~keymap_->masks().shift, 0u) << "only Shift selects a level " << c;
        EXPECT_EQ(xkb_keysym_to_utf32(typed(p)), std::uint32_t(cp1252ToUnicode(byte)))
            << std::hex << c;
        EXPECT_TRUE(used.insert({p.keycode, p.mods}).second) << "two characters on one key " << c;
    }
    // Letters of the base layout and added characters alike: Shift where it is needed.
    EXPECT_EQ(keymap_->character('A').mods, keymap_->masks().shift);
    EXPECT_EQ(keymap_->character('a').mods, 0u);
    EXPECT_EQ(keymap_->character('a').keycode, keymap_->character('A').keycode);
}

TEST_F(WaylandKeymapTest, ControlCharactersTypeTheKeysWindowsTypes) {
    ASSERT_NE(compiled_, nullptr);
    const std::uint32_t ctrl = keymap_->masks().control;
    const std::uint32_t shift = keymap_->masks().shift;
    struct Case {
        unsigned char c;
        xkb_keysym_t keysym;
        std::uint32_t mods;
    };
    for (const Case& k :
         {Case{8, XKB_KEY_BackSpace, 0}, Case{9, XKB_KEY_Tab, 0}, Case{13, XKB_KEY_Return, 0},
          Case{27, XKB_KEY_Escape, 0}, Case{10, XKB_KEY_Return, ctrl},
          Case{127, XKB_KEY_BackSpace, ctrl}, Case{1, XKB_KEY_a, ctrl}, Case{26, XKB_KEY_z, ctrl},
          Case{0, XKB_KEY_at, ctrl | shift}, Case{28, XKB_KEY_backslash, ctrl},
          Case{30, XKB_KEY_asciicircum, ctrl | shift},
          Case{31, XKB_KEY_underscore, ctrl | shift}}) {
        const KeyPlacement& p = keymap_->character(k.c);
        EXPECT_EQ(p.mods, k.mods) << int(k.c);
        EXPECT_EQ(typed(p), k.keysym) << int(k.c);
    }
}

TEST_F(WaylandKeymapTest, EverySupportedVirtualKeyHasAKeyOfItsOwnKeysym) {
    ASSERT_NE(compiled_, nullptr);
    int supported = 0;
    for (int vk = 0; vk < 256; ++vk) {
        const x11::VirtualKey key = x11::virtualKeyFor(std::uint8_t(vk));
        const auto p = keymap_->virtualKey(std::uint8_t(vk));
        if (key.keysym == x11::kNoKeysym) {
            EXPECT_FALSE(p) << vk;
            continue;
        }
        ++supported;
        ASSERT_TRUE(p) << vk;
        EXPECT_LE(p->keycode, 255u) << vk;
        EXPECT_EQ(p->mods, 0u) << vk;
        // A key with a fixed place on a PC keyboard is that key (the keypad's digits
        // give their digit only with Num Lock, as on the hardware); any other key is
        // the one that types the keysym.
        const xkb_keycode_t named =
            key.keyName ? xkb_keymap_key_by_name(compiled_, key.keyName) : XKB_KEYCODE_INVALID;
        if (named != XKB_KEYCODE_INVALID)
            EXPECT_EQ(p->keycode, named) << std::hex << vk;
        else
            EXPECT_EQ(typed(*p), key.keysym) << std::hex << vk;
    }
    EXPECT_GT(supported, 140);
    // Keys with a fixed place are that key, not any key with the same keysym.
    EXPECT_EQ(keymap_->virtualKey(0xA1)->keycode, xkb_keymap_key_by_name(compiled_, "RTSH"));
    EXPECT_EQ(keymap_->virtualKey(0x60)->keycode, xkb_keymap_key_by_name(compiled_, "KP0"));
}

}  // namespace
}  // namespace kest::wayland
