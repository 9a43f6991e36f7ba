// The main window's Win32 window and controls: the window centred on the screen with the
// blueprint's client area, and the controls with their identifiers, texts, tooltips, fonts and
// places, created in tab order.
#pragma once

#include <windows.h>

#include <array>
#include <iterator>
#include <map>
#include <utility>
#include <vector>

#include "ui/main_window/main_view.h"
#include "ui/win32/win32_look.h"

namespace norvane {

// The fonts of the controls; they live as long as the controls do.
struct win32_main_window_fonts {
    win32::font gothic_9{win32::face::gothic, 9, false};
    win32::font gothic_bold_11{win32::face::gothic, 11.25, true};
    win32::font gothic_bold_12{win32::face::gothic, 12, true};
};

struct win32_main_window_controls {
    HWND profile_list = nullptr;
    HWND profile_edit = nullptr;  // the edit part of profile_list
    HWND connect_txt = nullptr;
    std::array<std::array<HWND, boxes_per_field>, std::size(address_fields)> address_boxes{};
    HWND dhcp_chk = nullptr;
    // Every control that is no array, the ones above too, by its name.
    std::map<control, HWND> singles;
    HWND status_bar = nullptr;
    // The controls that take the focus, in tab order (profile_list as the list itself).
    std::vector<HWND> tab_order;

    // The window of a control (the list itself for profile_list), or nullptr.
    HWND window(control_ref c) const;
    // The window that takes a control's focus and selection (the edit part for profile_list).
    HWND focus_window(control_ref c) const;
    // Every control with its window, the edit part of profile_list too.
    std::vector<std::pair<HWND, control_ref>> all() const;
};

// Registers the window class once and creates the main window, centred on the screen; its
// messages go to procedure, with param in WM_NCCREATE.
HWND create_main_window(WNDPROC procedure, void* param);

// Builds the controls on the window in their places.
win32_main_window_controls build_main_window(HWND window, const win32_main_window_fonts& fonts);

// A window of the controls' tooltips, which its caller destroys. It has no owner: under Wine a
// window that owns one cannot be made topmost (measured with Wine 8). It does not subclass the
// controls (no TTF_SUBCLASS, whose subclass looks a window property up on every message to a
// control, under Wine a round trip to its server each): the controls' mouse messages must be
// relayed to it (relay_to_tooltip).
HWND add_tooltips(HWND window, const win32_main_window_controls& controls);

// Hands a control's mouse message to the tooltip window, which shows and hides the tips by it.
void relay_to_tooltip(HWND tooltip, HWND control, UINT message, WPARAM w, LPARAM l);

}  // namespace norvane
