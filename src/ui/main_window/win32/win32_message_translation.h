// The messages of the main window and its controls in the terms of the window's logic: what a
// message to a control means (a focus gain, Tab, a typed character, a released key, a mouse
// button going down or up), and which control a command notification clicked.
#pragma once

#include <windows.h>

#include <optional>

#include "ui/main_window/main_view.h"

namespace norvane::win32_messages {

struct control_event {
    enum class kind {
        other,            // for the control alone
        focus_gained,     // handled by the control first
        tab,              // Tab or Shift+Tab pressed: moves the focus, and types nothing
        swallowed,        // the character of a Tab
        character,        // a typed character: code
        key_released,     // handled by the control first: code (virtual key), shift
        button_pressed,   // any mouse button, single or double click
        button_released,  // any mouse button
    };
    kind what = kind::other;
    int code = 0;
    bool backwards = false;  // Shift+Tab
    int shift = 0;           // Shift 1, Ctrl 2, Alt 4
};

control_event translate(UINT message, WPARAM w);

// The control that a WM_COMMAND notification from the window's controls clicked or chose
// from: a button (BN_CLICKED), or profile_list (CBN_SELCHANGE).
std::optional<control> clicked(int id, int notification);

}  // namespace norvane::win32_messages
