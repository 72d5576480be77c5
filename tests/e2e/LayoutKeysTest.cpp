// Where the characters are on the user's own layouts, as GNOME and KDE hand them to
// every client, checked the way the compositor types them: each stroke pressed on a
// fresh keyboard state of the same keymap, with its layout locked.

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>

#include "keyboard/wayland/LayoutKeys.h"
#include "keyboard/x11/Keysyms.h"

namespace kest::wayland {
namespace {

class LayoutKeysTest : public ::testing::Test {
  protected:
    // The layouts' keymap as a compositor sends it: compiled from their names, then
    // written out.
    void load(const char* layouts) {
        const xkb_rule_names names{"evdev", "pc105", layouts, "", ""};
        keymap.reset(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
        char* text = xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
        keys = std::make_unique<LayoutKeys>(text, "en_US.UTF-8");
        std::free(text);
    }
    // The keysym the compositor's state gives for the stroke on the layout.
    xkb_keysym_t typed(std::uint32_t layout, const KeyStroke& stroke) const {
        std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_state_new(keymap.get()),
                                                                     &xkb_state_unref);
        xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, layout);
        for (std::uint32_t kc : stroke.modifiers)
            xkb_state_update_key(state.get(), kc, XKB_KEY_DOWN);
        return xkb_state_key_get_one_sym(state.get(), stroke.keycode);
    }
    // Every character found with a single stroke gives itself, and those required are
    // found so; returns how many there are.
    int checkSingleStrokes(std::uint32_t layout, const std::string& required) const {
        int found = 0;
        for (int c = 0x20; c < 256; ++c) {
            if (c == 0x7F) continue;  // a control character
            const auto k = keys->character(std::uint8_t(c), layout, false);
            const bool single = k && k->strokes.size() == 1;
            EXPECT_TRUE(single || required.find(char(c)) == std::string::npos) << c;
            if (!single) continue;
            EXPECT_EQ(x11::cp1252ForKeysym(typed(layout, k->strokes[0])), c) << c;
            ++found;
        }
        return found;
    }

    std::unique_ptr<LayoutKeys> keys;
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context{
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), &xkb_context_unref};
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap{nullptr, &xkb_keymap_unref};
};

// Catches a character put on a key or level that types something else, and one the
// layout has (with Shift, AltGr, both) not found.
TEST_F(LayoutKeysTest, UsLayoutHasAsciiAndControlCharactersAsWindowsTypesThem) {
    load("us");
    std::string ascii;
    for (char c = 0x20; c < 0x7F; ++c) ascii += c;
    checkSingleStrokes(0, ascii);
    // € is only on a multimedia key above 255, which X programs under Xwayland lack:
    // it is still found, for native windows.
    EXPECT_GT(keys->character(0x80, 0, false)->strokes[0].keycode, 255u);
    EXPECT_LE(keys->character('|', 0, false)->strokes[0].keycode, 255u);
    // Control characters as Windows types them: Ctrl+A for 1.
    const auto ctrlA = keys->character(1, 0, false);
    ASSERT_TRUE(ctrlA);
    EXPECT_EQ(ctrlA->strokes[0].modifiers, std::vector<std::uint32_t>{keys->controlKey()});
    EXPECT_EQ(typed(0, {{}, ctrlA->strokes[0].keycode}), xkb_keysym_t('a'));
}

// Catches Shift and AltGr used as a US keyboard has them, dead keys not found or not
// dead, and virtual keys by position rather than by what they type.
TEST_F(LayoutKeysTest, GermanLayoutUsesAltGrShiftAltGrAndDeadKeys) {
    load("de");
    // ° is Shift on the dead circumflex's key, ¿ Shift+AltGr on ß's.
    EXPECT_GT(checkSingleStrokes(0, "\xB0\xBF\x80\xB5@zy"), 95);
    for (int c : {0xE9, int('^'), 0xC0}) {
        const auto k = keys->character(std::uint8_t(c), 0, false);
        ASSERT_TRUE(k) << int(c);
        ASSERT_EQ(k->strokes.size(), 2u) << int(c);
        const xkb_keysym_t dead = typed(0, k->strokes[0]);
        EXPECT_TRUE(dead >= 0xfe50 && dead <= 0xfe8f) << std::hex << dead;
    }
    EXPECT_FALSE(keys->character(0xF1, 0, false));  // ñ
    EXPECT_EQ(typed(0, {{}, *keys->virtualKey('Z', 0)}), xkb_keysym_t('z'));
}

// Catches another layout used where the active one has the character, or where the
// caller does not allow it.
TEST_F(LayoutKeysTest, AnotherConfiguredLayoutIsUsedOnlyWhenAllowed) {
    load("us,de");
    ASSERT_EQ(keys->layoutCount(), 2u);
    EXPECT_FALSE(keys->character(0xE4, 0, false));  // ä: not on the active US layout
    const auto a = keys->character(0xE4, 0, true);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->layout, 1u);
    EXPECT_EQ(x11::cp1252ForKeysym(typed(1, a->strokes[0])), 0xE4);
    // What the active layout has stays on it.
    EXPECT_EQ(keys->character('z', 1, true)->layout, 1u);
    EXPECT_EQ(keys->character('z', 0, true)->layout, 0u);
}

TEST(LayoutKeysInput, AKeymapThatCannotBeReadIsAClearError) {
    EXPECT_THROW(LayoutKeys("xkb_keymap { nonsense"), KeymapError);
}

}  // namespace
}  // namespace kest::wayland
