// Qt's key events in the logic's codes: what the key preview sees as a typed character, and
// which released keys count as digit keys for the automatic advance.
#include "ui/main_window/qt/qt_key_translation.h"

#include <gtest/gtest.h>

namespace norvane {
namespace {

TEST(qt_key_translation, typed_characters_released_keys_and_shift_state) {
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        const char* text;
        int character;  // -1: the key types no character
        int released;   // the virtual-key code of its release
    } cases[] = {
        {Qt::Key_7, Qt::NoModifier, "7", '7', 55},
        {Qt::Key_7, Qt::KeypadModifier, "7", '7', 103},
        {Qt::Key_Enter, Qt::KeypadModifier, "\r", 13, 0},
        {Qt::Key_Backspace, Qt::NoModifier, "\b", 8, 0},
        {Qt::Key_Escape, Qt::NoModifier, "\x1b", 27, 0},
        {Qt::Key_Tab, Qt::NoModifier, "\t", -1, 0},
        {Qt::Key_Delete, Qt::NoModifier, "\x7f", -1, 0},
        {Qt::Key_1, Qt::AltModifier, "1", -1, 49},  // Alt+1 types nothing
        {Qt::Key_A, Qt::ShiftModifier, "A", 'A', 0},
        {Qt::Key_unknown, Qt::NoModifier, "５", 0xFF15, 0},  // a full-width digit is none
    };
    for (const auto& c : cases) {
        EXPECT_EQ(qt_keys::character_code(c.key, c.modifiers, QString::fromUtf8(c.text)),
                  c.character)
            << c.key;
        EXPECT_EQ(qt_keys::virtual_key(c.key, c.modifiers), c.released) << c.key;
    }
    EXPECT_EQ(qt_keys::shift_state(Qt::ShiftModifier | Qt::AltModifier | Qt::KeypadModifier), 5);
}

}  // namespace
}  // namespace norvane
