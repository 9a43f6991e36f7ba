// Qt's key events in the codes that the main window's logic reads: the character code of a
// typed key, the virtual-key code of a released key and the shift state.
#pragma once

#include <QString>
#include <Qt>

namespace norvane::qt_keys {

// The character code of a key press as the window's key preview sees it, or -1 for a key
// that types no character (movement and function keys, Delete, Tab, Alt combinations).
int character_code(int key, Qt::KeyboardModifiers modifiers, const QString& text);

// The virtual-key code of a released key: 48 to 57 for the digit keys of the main keyboard,
// 96 to 105 for those of the numeric keypad, 0 for every other key (no rule reads them).
int virtual_key(int key, Qt::KeyboardModifiers modifiers);

// The shift state of a key event: Shift 1, Ctrl 2, Alt 4.
int shift_state(Qt::KeyboardModifiers modifiers);

}  // namespace norvane::qt_keys
