// The main window's focus guard. It subclasses every control, so that it sees their focus,
// key and mouse messages before they do, and stands between them and the window's focus
// tracker (focus_tracker.h), which decides what the logic hears:
// - the key preview: each typed character goes through the logic (typed_character), and a
//   code of 0 is discarded;
// - Tab and Shift+Tab move the focus along the tab order;
// - validate before leaving: before the focus leaves a control by Tab, by a mouse press on
//   another control or by a program focus move, the tracker asks the logic, and a refusal
//   keeps the focus there and swallows the press and its release;
// - a message box or a dialog takes Windows' focus away: when the window is active again,
//   the control the logic sees focused gets it back, and the logic hears nothing of it;
// - the controls' mouse messages go on to the tooltip window.
#pragma once

#include <windows.h>

#include <map>
#include <optional>

#include "ui/main_window/focus_tracker.h"
#include "ui/main_window/main_form.h"
#include "ui/main_window/main_view.h"
#include "ui/main_window/win32/win32_main_window_layout.h"

namespace norvane {

class win32_focus_guard {
  public:
    // Subclasses the controls, which must outlive the guard or be destroyed before it.
    win32_focus_guard(main_form& form, const win32_main_window_controls& controls);
    win32_focus_guard(const win32_focus_guard&) = delete;
    win32_focus_guard& operator=(const win32_focus_guard&) = delete;

    // A program focus move: the control being left is asked first.
    void move_focus(control_ref c);
    // The window is active again: the control the logic sees focused gets Windows' focus
    // back. False when the logic sees none focused.
    bool restore_focus();
    // Gives the first control of the tab order the focus, unless the logic sees one focused.
    void focus_first();
    // The tooltip window that the controls' mouse messages are relayed to (nullptr: none).
    void set_tooltip(HWND tooltip) { tooltip_ = tooltip; }

  private:
    static LRESULT CALLBACK control_proc(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT handle(HWND window, UINT message, WPARAM w, LPARAM l);
    std::optional<control_ref> control_of(HWND window) const;
    void tab(HWND from, bool backwards);
    HWND tab_target(HWND from, bool backwards) const;

    main_form& form_;
    const win32_main_window_controls& controls_;
    focus_tracker tracker_;
    struct subclass {
        control_ref ref;
        WNDPROC original = nullptr;
    };
    std::map<HWND, subclass> subclasses_;
    HWND tooltip_ = nullptr;
};

}  // namespace norvane
