#include "ui/main_window/qt/qt_key_translation.h"

#include <QList>

#include "ui/main_window/main_view.h"

namespace norvane::qt_keys {

int character_code(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    if (modifiers.testFlag(Qt::AltModifier)) {
        return -1;
    }
    switch (key) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Delete:
            return -1;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return vk_return;
        case Qt::Key_Backspace:
            return vk_back;
        case Qt::Key_Escape:
            return 27;
        default:
            break;
    }
    const QList<uint> characters = text.toUcs4();
    if (characters.isEmpty() || characters.front() == 0x7F) {
        return -1;
    }
    return static_cast<int>(characters.front());
}

int virtual_key(int key, Qt::KeyboardModifiers modifiers) {
    if (key < Qt::Key_0 || key > Qt::Key_9) {
        return 0;
    }
    const int base = modifiers.testFlag(Qt::KeypadModifier) ? vk_numpad0 : vk_0;
    return base + (key - Qt::Key_0);
}

int shift_state(Qt::KeyboardModifiers modifiers) {
    return (modifiers.testFlag(Qt::ShiftModifier) ? 1 : 0) |
           (modifiers.testFlag(Qt::ControlModifier) ? 2 : 0) |
           (modifiers.testFlag(Qt::AltModifier) ? 4 : 0);
}

}  // namespace norvane::qt_keys
