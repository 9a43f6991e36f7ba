#include "ui/main_window/win32/win32_message_translation.h"

#include "ui/main_window/win32/win32_control_ids.h"

namespace norvane::win32_messages {

namespace {

bool held(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

}  // namespace

control_event translate(UINT message, WPARAM w) {
    using kind = control_event::kind;
    switch (message) {
        case WM_SETFOCUS:
            return {kind::focus_gained};
        case WM_KEYDOWN:
            if (w == VK_TAB && !held(VK_CONTROL)) {
                return {kind::tab, 0, held(VK_SHIFT)};
            }
            return {};
        case WM_CHAR:
            if (w == L'\t') {
                return {kind::swallowed};
            }
            return {kind::character, static_cast<int>(w)};
        case WM_KEYUP:
        case WM_SYSKEYUP:
            return {
                kind::key_released, static_cast<int>(w), false,
                (held(VK_SHIFT) ? 1 : 0) | (held(VK_CONTROL) ? 2 : 0) | (held(VK_MENU) ? 4 : 0)};
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
            return {kind::button_pressed};
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            return {kind::button_released};
        default:
            return {};
    }
}

std::optional<control> clicked(int id, int notification) {
    if (id == win32_ids::profile_list) {
        return notification == CBN_SELCHANGE ? std::optional(control::profile_list) : std::nullopt;
    }
    if (notification != BN_CLICKED) {
        return std::nullopt;
    }
    for (const control c :
         {control::dhcp_chk, control::save_bt, control::delete_bt, control::submit_bt,
          control::new_bt, control::ver_bt, control::end_bt}) {
        if (win32_ids::id_of({c}) == id) {
            return c;
        }
    }
    return std::nullopt;
}

}  // namespace norvane::win32_messages
