#include "ui/main_window/win32/win32_main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "ui/about_dialog/win32/win32_about_dialog.h"
#include "ui/main_window/control_rules.h"
#include "ui/main_window/win32/win32_focus_guard.h"
#include "ui/main_window/win32/win32_message_translation.h"

namespace norvane {

namespace {

std::wstring combo_item(HWND combo, int i) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length == CB_ERR) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// Whether entry i of the combo box reads text; buffer is reused from call to call.
bool combo_item_is(HWND combo, int i, const std::wstring& text, std::wstring& buffer) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length == CB_ERR || static_cast<std::size_t>(length) != text.size()) {
        return false;
    }
    buffer.resize(static_cast<std::size_t>(length) + 1);
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(buffer.data()));
    return text.compare(0, text.size(), buffer.data(), text.size()) == 0;
}

// The first entry of exactly that text, or -1. The combo box's own search ignores case, so
// each entry it finds is compared once more, until the search comes round to the start.
int find_exact(HWND combo, const std::wstring& text) {
    std::wstring buffer;
    LRESULT after = -1;
    for (;;) {
        const LRESULT found = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(after),
                                           reinterpret_cast<LPARAM>(text.c_str()));
        if (found == CB_ERR || found <= after) {
            return -1;
        }
        if (combo_item_is(combo, static_cast<int>(found), text, buffer)) {
            return static_cast<int>(found);
        }
        after = found;
    }
}

std::wstring wide_window_text(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    const int n = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(n, 0)));
    return text;
}

}  // namespace

win32_main_window::win32_main_window(ui_services& ui, program_state& state, host::shell& shell)
    : shell_(shell), form_(std::make_unique<main_form>(*this, ui, state, shell)) {
    hwnd_ = create_main_window(window_proc, this);
    if (hwnd_ == nullptr) {
        return;
    }
    controls_ = build_main_window(hwnd_, fonts_);
    guard_ = std::make_unique<win32_focus_guard>(*form_, controls_);
    tooltip_ = add_tooltips(hwnd_, controls_);
    guard_->set_tooltip(tooltip_);
}

win32_main_window::~win32_main_window() {
    if (tooltip_ != nullptr) {
        guard_->set_tooltip(nullptr);
        DestroyWindow(tooltip_);
    }
    if (hwnd_ != nullptr) {
        unloaded_ = true;  // no unload reaction once the program is ending
        DestroyWindow(hwnd_);
    }
}

LRESULT CALLBACK win32_main_window::window_proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<win32_main_window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->hwnd_ != window) {
        return DefWindowProcW(window, message, w, l);
    }
    return self->handle_window(message, w, l);
}

LRESULT win32_main_window::handle_window(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_COMMAND:
            command(LOWORD(w), HIWORD(w));
            return 0;
        case WM_ACTIVATE:
            // Windows leaves the focus on the window itself when it comes back from a message
            // box or a dialog: the control the logic sees focused gets it back.
            if (LOWORD(w) != WA_INACTIVE && HIWORD(w) == 0 && guard_ != nullptr &&
                guard_->restore_focus()) {
                return 0;
            }
            break;
        case WM_CLOSE:
            // The unload is never cancelled; the program ends with the window.
            if (!unloaded_) {
                unloaded_ = true;
                form_->form_unload();
            }
            DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            if (tooltip_ != nullptr) {
                if (guard_ != nullptr) {
                    guard_->set_tooltip(nullptr);
                }
                DestroyWindow(std::exchange(tooltip_, nullptr));
            }
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            hwnd_ = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, w, l);
}

void win32_main_window::command(int id, int notification) {
    const auto target = win32_messages::clicked(id, notification);
    if (!target) {
        return;
    }
    switch (*target) {
        case control::profile_list: {
            // The list's text is the chosen entry by the time the logic looks at it.
            const LRESULT chosen = SendMessageW(controls_.profile_list, CB_GETCURSEL, 0, 0);
            if (chosen != CB_ERR) {
                SetWindowTextW(
                    controls_.profile_list,
                    combo_item(controls_.profile_list, static_cast<int>(chosen)).c_str());
                form_->profile_list_click();
            }
            return;
        }
        case control::dhcp_chk:
            set_check_value(check_value() == checked ? unchecked : checked);
            return;
        case control::save_bt:
            form_->save_bt_click();
            return;
        case control::delete_bt:
            form_->delete_bt_click();
            return;
        case control::submit_bt:
            form_->submit_bt_click();
            return;
        case control::new_bt:
            form_->new_bt_click();
            return;
        case control::ver_bt:
            form_->ver_bt_click();
            return;
        case control::end_bt:
            form_->end_bt_click();
            return;
        default:
            return;
    }
}

void win32_main_window::show() {
    if (loaded_ || hwnd_ == nullptr) {
        return;
    }
    loaded_ = true;
    form_->form_load();  // makes the window topmost, which shows it
    if (!is_open()) {
        return;
    }
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    guard_->focus_first();
}

// --- main_view

std::string win32_main_window::text(control_ref c) const {
    HWND window = controls_.window(c);
    return window != nullptr ? win32::window_text(window) : std::string();
}

void win32_main_window::set_text(control_ref c, const std::string& text) {
    if (c.id == control::profile_list) {
        // The list's text names its entry, as the original combo box's Text does: the first
        // entry of exactly that text becomes the selected one (none when no entry has it),
        // so that the arrow keys go on from the profile shown.
        const std::wstring wide = win32::widen(text);
        const int match = find_exact(controls_.profile_list, wide);
        SendMessageW(controls_.profile_list, CB_SETCURSEL, static_cast<WPARAM>(match), 0);
        SetWindowTextW(controls_.profile_list, wide.c_str());
        return;
    }
    // A text set by the program is never cut to the maximum length, which only limits typing.
    if (HWND window = controls_.window(c)) {
        win32::set_window_text(window, text);
    }
}

bool win32_main_window::enabled(control_ref c) const {
    HWND window = controls_.window(c);
    return window != nullptr && IsWindowEnabled(window);
}

void win32_main_window::set_enabled(control_ref c, bool enabled) {
    if (HWND window = controls_.window(c)) {
        EnableWindow(window, enabled ? TRUE : FALSE);
    }
}

int win32_main_window::max_length(control_ref c) const {
    return max_length_of(c);
}

void win32_main_window::set_selection(control_ref c, int start, int length) {
    HWND window = controls_.focus_window(c);
    if (window == nullptr || (c.id != control::profile_list && !is_text_input(c.id))) {
        return;
    }
    const std::wstring text = wide_window_text(window);
    const int begin = win32::utf16_position(text, std::max(start, 0));
    const int end = win32::utf16_position(text, std::max(start, 0) + std::max(length, 0));
    SendMessageW(window, EM_SETSEL, static_cast<WPARAM>(begin), static_cast<LPARAM>(end));
}

int win32_main_window::check_value() const {
    return SendMessageW(controls_.dhcp_chk, BM_GETCHECK, 0, 0) == BST_CHECKED ? checked : unchecked;
}

void win32_main_window::set_check_value(int value) {
    const int state = value == checked ? BST_CHECKED : BST_UNCHECKED;
    if (SendMessageW(controls_.dhcp_chk, BM_GETCHECK, 0, 0) == state) {
        return;
    }
    SendMessageW(controls_.dhcp_chk, BM_SETCHECK, static_cast<WPARAM>(state), 0);
    // A change raises the box's change reaction, as a user's click does.
    form_->dhcp_chk_click();
}

void win32_main_window::set_focus(control_ref c) {
    guard_->move_focus(c);
}

// Only the entries that differ are written: the combo box's entries before the first and after
// the last difference stay. A longer change is made with redrawing off and the room taken at
// once. The edit text stays as it was; the selection stays on an entry before the change.
void win32_main_window::set_list_entries(const profile_list_entries& entries) {
    HWND list = controls_.profile_list;
    const std::wstring edit_text = wide_window_text(list);
    const LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
    const LRESULT had = SendMessageW(list, CB_GETCOUNT, 0, 0);
    const int old_count = had == CB_ERR ? 0 : static_cast<int>(had);
    const int new_count = entries.count();
    const auto wide_name = [&entries](int i) {
        const std::string_view name = entries.name(i);
        return win32::widen(std::string(name));
    };
    std::wstring buffer;
    int head = 0;
    while (head < old_count && head < new_count &&
           combo_item_is(list, head, wide_name(head), buffer)) {
        ++head;
    }
    int tail = 0;
    while (tail < old_count - head && tail < new_count - head &&
           combo_item_is(list, old_count - 1 - tail, wide_name(new_count - 1 - tail), buffer)) {
        ++tail;
    }
    const int removed = old_count - head - tail;
    const int added = new_count - head - tail;
    const bool quiet = removed + added > 16;
    if (quiet) {
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    }
    if (removed == old_count && removed > 0) {
        SendMessageW(list, CB_RESETCONTENT, 0, 0);
    } else {
        for (int i = head + removed - 1; i >= head; --i) {
            SendMessageW(list, CB_DELETESTRING, static_cast<WPARAM>(i), 0);
        }
    }
    if (added > 0) {
        std::size_t bytes = 0;
        for (int i = head; i < head + added; ++i) {
            bytes += (entries.name(i).size() + 1) * sizeof(wchar_t);
        }
        SendMessageW(list, CB_INITSTORAGE, static_cast<WPARAM>(added), static_cast<LPARAM>(bytes));
        const bool at_end = tail == 0;
        for (int i = head; i < head + added; ++i) {
            const std::wstring item = wide_name(i);
            SendMessageW(list, CB_INSERTSTRING,
                         at_end ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(item.c_str()));
        }
    }
    if (selected != CB_ERR && selected < head &&
        SendMessageW(list, CB_GETCURSEL, 0, 0) != selected) {
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    }
    if (wide_window_text(list) != edit_text) {
        SetWindowTextW(list, edit_text.c_str());
    }
    if (quiet) {
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }
}

int win32_main_window::list_index() const {
    // Typing in the edit text selects no entry.
    const LRESULT i = SendMessageW(controls_.profile_list, CB_GETCURSEL, 0, 0);
    if (i == CB_ERR) {
        return -1;
    }
    const int index = static_cast<int>(i);
    return combo_item(controls_.profile_list, index) == wide_window_text(controls_.profile_list)
               ? index
               : -1;
}

void win32_main_window::set_list_visible(bool visible) {
    ShowWindow(controls_.profile_list, visible ? SW_SHOWNA : SW_HIDE);
}

std::string win32_main_window::status_text() const {
    return status_;
}

void win32_main_window::set_status_text(const std::string& text) {
    status_ = text;
    const std::wstring wide = win32::widen(text);
    SendMessageW(controls_.status_bar, SB_SETTEXTW, SB_SIMPLEID,
                 reinterpret_cast<LPARAM>(wide.c_str()));
}

void win32_main_window::set_caption(const std::string& caption) {
    win32::set_window_text(hwnd_, caption);
}

void win32_main_window::set_topmost(bool topmost) {
    // SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW (0x43): above all others, shown, in place.
    SetWindowPos(hwnd_, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
}

std::uintptr_t win32_main_window::window_handle() const {
    return reinterpret_cast<std::uintptr_t>(hwnd_);
}

void win32_main_window::show_about_dialog() {
    win32_about_dialog dialog(shell_, hwnd_);
    dialog.run_modal();
}

void win32_main_window::unload() {
    // Closed once the reaction that asked for it has returned.
    if (hwnd_ != nullptr) {
        PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    }
}

}  // namespace norvane
