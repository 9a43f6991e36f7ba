#include "ui/main_window/win32/win32_focus_guard.h"

#include <algorithm>

#include "ui/main_window/win32/win32_message_translation.h"

namespace norvane {

win32_focus_guard::win32_focus_guard(main_form& form, const win32_main_window_controls& controls)
    : form_(form), controls_(controls), tracker_(form) {
    for (const auto& [window, ref] : controls_.all()) {
        if (window == nullptr) {
            continue;
        }
        // The guard is found through the control's user data, which the program's controls
        // leave to their creator: a window property would cost a look-up on every message
        // (under Wine a round trip to its server).
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        const auto original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control_proc)));
        subclasses_[window] = subclass{ref, original};
    }
}

void win32_focus_guard::move_focus(control_ref c) {
    HWND target = controls_.focus_window(c);
    if (target != nullptr && tracker_.may_move_to(c)) {
        SetFocus(target);
    }
}

bool win32_focus_guard::restore_focus() {
    const auto focus = tracker_.focus();
    HWND window = focus ? controls_.focus_window(*focus) : nullptr;
    if (window == nullptr || !IsWindow(window)) {
        return false;
    }
    SetFocus(window);
    return true;
}

void win32_focus_guard::focus_first() {
    if (!tracker_.focus() && !controls_.tab_order.empty()) {
        HWND first = controls_.tab_order.front();
        SetFocus(first == controls_.profile_list ? controls_.profile_edit : first);
    }
}

std::optional<control_ref> win32_focus_guard::control_of(HWND window) const {
    const auto it = subclasses_.find(window);
    return it != subclasses_.end() ? std::optional(it->second.ref) : std::nullopt;
}

LRESULT CALLBACK win32_focus_guard::control_proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<win32_focus_guard*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, w, l);
    }
    return self->handle(window, message, w, l);
}

LRESULT win32_focus_guard::handle(HWND window, UINT message, WPARAM w, LPARAM l) {
    const auto it = subclasses_.find(window);
    if (it == subclasses_.end()) {
        return DefWindowProcW(window, message, w, l);
    }
    const control_ref ref = it->second.ref;
    const WNDPROC original = it->second.original;
    if (message == WM_NCDESTROY) {
        subclasses_.erase(it);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        return CallWindowProcW(original, window, message, w, l);
    }
    if (tooltip_ != nullptr) {
        relay_to_tooltip(tooltip_, window, message, w, l);
    }
    const auto pass = [&](WPARAM pass_w) {
        return CallWindowProcW(original, window, message, pass_w, l);
    };

    using kind = win32_messages::control_event::kind;
    const auto event = win32_messages::translate(message, w);
    switch (event.what) {
        case kind::focus_gained: {
            const LRESULT result = pass(w);
            tracker_.focus_in(ref);
            return result;
        }
        case kind::tab:
            tab(window, event.backwards);
            return 0;
        case kind::swallowed:
            return 0;
        case kind::character: {
            const int code = form_.typed_character(ref, event.code);
            return code == 0 ? 0 : pass(static_cast<WPARAM>(code));
        }
        case kind::key_released: {
            const LRESULT result = pass(w);
            if (IsWindow(window)) {
                form_.key_up(ref, event.code, event.shift);
            }
            return result;
        }
        case kind::button_pressed:
            // A press gives the control the focus: the control being left is asked first.
            return tracker_.press(ref, true) ? pass(w) : 0;
        case kind::button_released:
            if (!tracker_.release()) {
                return 0;
            }
            form_.mouse_up(ref);
            return pass(w);
        case kind::other:
            break;
    }
    return pass(w);
}

void win32_focus_guard::tab(HWND from, bool backwards) {
    HWND target = tab_target(from, backwards);
    const auto target_ref = control_of(target);
    if (target == nullptr || !tracker_.may_move_to(target_ref)) {
        return;  // the focus stays in the refused box
    }
    SetFocus(target == controls_.profile_list ? controls_.profile_edit : target);
}

HWND win32_focus_guard::tab_target(HWND from, bool backwards) const {
    if (from == controls_.profile_edit) {
        from = controls_.profile_list;
    }
    const auto& order = controls_.tab_order;
    const auto at = std::find(order.begin(), order.end(), from);
    if (at == order.end()) {
        return nullptr;
    }
    const auto count = static_cast<std::ptrdiff_t>(order.size());
    std::ptrdiff_t i = at - order.begin();
    for (std::ptrdiff_t step = 1; step < count; ++step) {
        i = (i + (backwards ? count - 1 : 1)) % count;
        HWND candidate = order[static_cast<std::size_t>(i)];
        if (IsWindowEnabled(candidate) && IsWindowVisible(candidate)) {
            return candidate;
        }
    }
    return nullptr;
}

}  // namespace norvane
