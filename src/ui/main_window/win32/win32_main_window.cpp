#include "ui/main_window/win32/win32_main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "ui/about_dialog/win32/win32_about_dialog.h"
#include "ui/main_window/control_rules.h"
#include "ui/main_window/main_window_form.h"
#include "ui/main_window/win32/win32_control_ids.h"

namespace norvane {

namespace {

constexpr int field_count = static_cast<int>(std::size(address_fields));

constexpr DWORD window_style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

RECT rect(const form::twips_box& box) {
    return win32::twips_rect(box.left, box.top, box.width, box.height);
}

const wchar_t* const view_property = L"norvane.main_window";

// Shift 1, Ctrl 2, Alt 4.
int shift_state() {
    return ((GetKeyState(VK_SHIFT) & 0x8000) != 0 ? 1 : 0) |
           ((GetKeyState(VK_CONTROL) & 0x8000) != 0 ? 2 : 0) |
           ((GetKeyState(VK_MENU) & 0x8000) != 0 ? 4 : 0);
}

int field_index(control id) {
    return static_cast<int>(id) - static_cast<int>(control::ip_add_txt);
}

HMENU menu_id(int id) {
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

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

std::wstring wide_window_text(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    const int n = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(n, 0)));
    return text;
}

}  // namespace

win32_main_window::win32_main_window(ui_services& ui, program_state& state, host::shell& shell)
    : shell_(shell),
      gothic_9_(win32::face::gothic, 9, false),
      gothic_bold_11_(win32::face::gothic, 11.25, true),
      gothic_bold_12_(win32::face::gothic, 12, true) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    static const bool registered = [instance] {
        WNDCLASSEXW wc;
        ZeroMemory(&wc, sizeof wc);
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = window_proc;
        wc.hInstance = instance;
        wc.hIcon = win32::program_icon(32);
        wc.hIconSm = win32::program_icon(16);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        wc.lpszClassName = win32_ids::main_window_class;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;

    RECT frame = win32::twips_rect(0, 0, form::client_width, form::client_height);
    AdjustWindowRectEx(&frame, window_style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    // Centred on the screen.
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = static_cast<int>(work.left) +
                  std::max(0, static_cast<int>(work.right - work.left) - width) / 2;
    const int y = static_cast<int>(work.top) +
                  std::max(0, static_cast<int>(work.bottom - work.top) - height) / 2;

    form_ = std::make_unique<main_form>(*this, ui, state, shell);
    hwnd_ = CreateWindowExW(0, win32_ids::main_window_class, L"", window_style, x, y, width, height,
                            nullptr, nullptr, instance, this);
    if (hwnd_ != nullptr) {
        build_controls();
    }
}

win32_main_window::~win32_main_window() {
    if (tooltip_ != nullptr) {
        DestroyWindow(tooltip_);
    }
    if (hwnd_ != nullptr) {
        unloaded_ = true;  // no unload reaction once the program is ending
        DestroyWindow(hwnd_);
    }
}

void win32_main_window::build_controls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    // The tooltips have no owner: under Wine a window that owns one cannot be made topmost
    // (measured with Wine 8); the window destroys them itself.
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                               nullptr, instance, nullptr);
    if (tooltip_ != nullptr) {
        SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 600);
    }

    auto make_caption = [&](int index) {
        const auto& caption = form::captions[index];
        create_control(L"STATIC", win32::widen(caption.text).c_str(),
                       SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, 0, rect(caption.box),
                       win32_ids::label1_first + index, gothic_bold_11_);
    };

    // Created in tab order, so that the windows' order is the tab order too.
    make_caption(0);
    profile_list_ = create_control(
        L"COMBOBOX", L"", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0,
        [] {  // with room below for the drop-down list
            form::twips_box box = form::profile_list.box;
            box.height += 2400;
            return rect(box);
        }(),
        win32_ids::profile_list, gothic_9_);
    register_control(profile_list_, {control::profile_list});
    if (HWND edit = combo_edit(); edit != nullptr) {
        register_control(edit, {control::profile_list});
    }
    add_tooltip(profile_list_, form::profile_list.tooltip);

    make_caption(7);
    connect_txt_ = create_control(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
                                  rect(form::connect_txt.box), win32_ids::connect_txt, gothic_9_);
    register_control(connect_txt_, {control::connect_txt});

    int dot = 0;
    for (int f = 0; f < field_count; ++f) {
        const control id = address_fields[f];
        const auto& field = form::fields[f];
        make_caption(field.caption);
        for (int i = 0; i < boxes_per_field; ++i) {
            HWND box = create_control(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
                                      rect(form::octet_box(field.top, i)),
                                      win32_ids::id_of({id, i}), gothic_9_);
            SendMessageW(box, EM_LIMITTEXT, octet_max_length, 0);
            address_boxes_[static_cast<std::size_t>(f)][static_cast<std::size_t>(i)] = box;
            register_control(box, {id, i});
            add_tooltip(box, field.tooltip);
        }
        for (int d = 0; d < boxes_per_field - 1; ++d) {
            create_control(L"STATIC", L".", SS_CENTER | SS_NOPREFIX, 0,
                           rect(form::dot(field.top, d)), win32_ids::label2_first + dot++,
                           gothic_9_);
        }
    }

    // A check box the window ticks itself: a click toggles between ticked and unticked.
    dhcp_chk_ = create_control(L"BUTTON", win32::widen(form::dhcp_chk.caption).c_str(),
                               BS_CHECKBOX | WS_TABSTOP, 0, rect(form::dhcp_chk.box),
                               win32_ids::dhcp_chk, gothic_bold_11_);
    register_control(dhcp_chk_, {control::dhcp_chk});
    add_tooltip(dhcp_chk_, form::dhcp_chk.tooltip);

    for (const form::control_form& row : form::buttons) {
        HWND button =
            create_control(L"BUTTON", win32::widen(row.caption).c_str(), BS_PUSHBUTTON | WS_TABSTOP,
                           0, rect(row.box), win32_ids::id_of({row.id}),
                           row.id == control::save_bt ? gothic_bold_12_ : gothic_bold_11_);
        buttons_[row.id] = button;
        register_control(button, {row.id});
        add_tooltip(button, row.tooltip);
    }

    // One text over the full width, changed only when the logic says so.
    status_bar_ =
        CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_BOTTOM, 0, 0, 0, 0,
                        hwnd_, menu_id(win32_ids::status_bar), instance, nullptr);
    win32::set_font(status_bar_, gothic_9_);
    SendMessageW(status_bar_, SB_SIMPLE, TRUE, 0);
    SendMessageW(status_bar_, WM_SIZE, 0, 0);
}

HWND win32_main_window::create_control(const wchar_t* window_class, const std::wstring& caption,
                                       DWORD style, DWORD ex_style, const RECT& where, int id,
                                       const win32::font& f) {
    HWND control =
        CreateWindowExW(ex_style, window_class, caption.c_str(), WS_CHILD | WS_VISIBLE | style,
                        where.left, where.top, where.right - where.left, where.bottom - where.top,
                        hwnd_, menu_id(id), GetModuleHandleW(nullptr), nullptr);
    win32::set_font(control, f);
    return control;
}

void win32_main_window::register_control(HWND window, control_ref ref) {
    if (window == nullptr) {
        return;
    }
    SetPropW(window, view_property, this);
    const auto original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control_proc)));
    subclasses_[window] = subclass{ref, original};
    // The edit part of profile_list is no stop of its own: the list is.
    if (GetParent(window) == hwnd_) {
        tab_order_.push_back(window);
    }
}

void win32_main_window::add_tooltip(HWND window, const char* text) {
    if (tooltip_ == nullptr) {
        return;
    }
    std::wstring wide = win32::widen(text);
    std::vector<HWND> windows{window};
    if (window == profile_list_ && combo_edit() != nullptr) {
        windows.push_back(combo_edit());
    }
    for (HWND w : windows) {
        TOOLINFOW info;
        ZeroMemory(&info, sizeof info);
        info.cbSize = sizeof info;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = hwnd_;
        info.uId = reinterpret_cast<UINT_PTR>(w);
        info.lpszText = wide.data();
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

HWND win32_main_window::combo_edit() const {
    return profile_list_ != nullptr ? GetWindow(profile_list_, GW_CHILD) : nullptr;
}

HWND win32_main_window::control_window(control_ref c) const {
    if (is_address_field(c.id)) {
        if (c.index < 0 || c.index >= boxes_per_field) {
            return nullptr;
        }
        return address_boxes_[static_cast<std::size_t>(field_index(c.id))]
                             [static_cast<std::size_t>(c.index)];
    }
    switch (c.id) {
        case control::profile_list:
            return profile_list_;
        case control::connect_txt:
            return connect_txt_;
        case control::dhcp_chk:
            return dhcp_chk_;
        default: {
            const auto it = buttons_.find(c.id);
            return it != buttons_.end() ? it->second : nullptr;
        }
    }
}

std::optional<control_ref> win32_main_window::control_of(HWND window) const {
    const auto it = subclasses_.find(window);
    if (it == subclasses_.end()) {
        return std::nullopt;
    }
    return it->second.ref;
}

// --- window procedures

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

LRESULT CALLBACK win32_main_window::control_proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* self = static_cast<win32_main_window*>(GetPropW(window, view_property));
    if (self == nullptr) {
        return DefWindowProcW(window, message, w, l);
    }
    return self->handle_control(window, message, w, l);
}

LRESULT win32_main_window::handle_window(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_COMMAND:
            command(LOWORD(w), HIWORD(w));
            return 0;
        case WM_ACTIVATE:
            // Windows leaves the focus on the window itself when it comes back from a message
            // box or a dialog: the control the logic sees focused gets it back.
            if (LOWORD(w) != WA_INACTIVE && HIWORD(w) == 0 && logical_focus_ != nullptr &&
                IsWindow(logical_focus_)) {
                SetFocus(logical_focus_);
                return 0;
            }
            break;
        case WM_SIZE:
            if (status_bar_ != nullptr) {
                SendMessageW(status_bar_, WM_SIZE, 0, 0);
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

LRESULT win32_main_window::handle_control(HWND window, UINT message, WPARAM w, LPARAM l) {
    const auto it = subclasses_.find(window);
    if (it == subclasses_.end()) {
        return DefWindowProcW(window, message, w, l);
    }
    const control_ref ref = it->second.ref;
    const WNDPROC original = it->second.original;
    const auto pass = [&](WPARAM pass_w) {
        return CallWindowProcW(original, window, message, pass_w, l);
    };

    switch (message) {
        case WM_SETFOCUS: {
            const LRESULT result = pass(w);
            focus_in(window);
            return result;
        }
        case WM_KEYDOWN:
            if (w == VK_TAB && (GetKeyState(VK_CONTROL) & 0x8000) == 0) {
                tab(window, (GetKeyState(VK_SHIFT) & 0x8000) != 0);
                return 0;
            }
            return pass(w);
        case WM_CHAR: {
            if (w == L'\t') {
                return 0;  // Tab moves the focus and types nothing
            }
            const int original_code = static_cast<int>(w);
            const int code = filter_character(ref, original_code);
            if (code == 0) {
                return 0;
            }
            return pass(static_cast<WPARAM>(code));
        }
        case WM_KEYUP:
        case WM_SYSKEYUP: {
            const LRESULT result = pass(w);
            if (IsWindow(window)) {
                form_->key_up(ref, static_cast<int>(w), shift_state());
            }
            return result;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
            if (!mouse_press(window, ref)) {
                return 0;
            }
            return pass(w);
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (std::exchange(swallow_release_, false)) {
                return 0;
            }
            mouse_release(ref, window);
            return pass(w);
        case WM_NCDESTROY: {
            subclasses_.erase(window);
            RemovePropW(window, view_property);
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
            return CallWindowProcW(original, window, message, w, l);
        }
        default:
            return pass(w);
    }
}

// --- events

void win32_main_window::command(int id, int notification) {
    if (id == win32_ids::profile_list) {
        if (notification == CBN_SELCHANGE) {
            // The list's text is the chosen entry by the time the logic looks at it.
            const LRESULT chosen = SendMessageW(profile_list_, CB_GETCURSEL, 0, 0);
            if (chosen != CB_ERR) {
                SetWindowTextW(profile_list_,
                               combo_item(profile_list_, static_cast<int>(chosen)).c_str());
                form_->profile_list_click();
            }
        }
        return;
    }
    if (notification != BN_CLICKED) {
        return;
    }
    switch (id) {
        case win32_ids::dhcp_chk:
            set_check_value(check_value() == checked ? unchecked : checked);
            return;
        case win32_ids::save_bt:
            form_->save_bt_click();
            return;
        case win32_ids::delete_bt:
            form_->delete_bt_click();
            return;
        case win32_ids::submit_bt:
            form_->submit_bt_click();
            return;
        case win32_ids::new_bt:
            form_->new_bt_click();
            return;
        case win32_ids::ver_bt:
            form_->ver_bt_click();
            return;
        case win32_ids::end_bt:
            form_->end_bt_click();
            return;
        default:
            return;
    }
}

void win32_main_window::focus_in(HWND window) {
    if (window == logical_focus_) {
        return;  // back after a message box or a dialog
    }
    const auto ref = control_of(window);
    HWND previous = std::exchange(logical_focus_, window);
    // The edit part and the list itself are one control.
    if (previous != nullptr) {
        const auto previous_ref = control_of(previous);
        if (previous_ref && ref && *previous_ref == *ref) {
            return;
        }
        if (previous_ref) {
            form_->lost_focus(*previous_ref);
        }
    }
    if (ref) {
        form_->got_focus(*ref);
    }
}

// A press on a control gives it the focus: the control being left is validated first (a
// refusal swallows the press and its release), and the mouse-down reaction comes before the
// focus reaction of the same press.
bool win32_main_window::mouse_press(HWND window, std::optional<control_ref> ref) {
    swallow_release_ = false;
    HWND target = window == profile_list_ ? combo_edit() : window;
    if (!may_leave_focus_for(target)) {
        swallow_release_ = true;
        return false;
    }
    if (ref) {
        form_->mouse_down(*ref);
    }
    return true;
}

void win32_main_window::mouse_release(std::optional<control_ref> ref, HWND) {
    if (ref) {
        form_->mouse_up(*ref);
    }
}

void win32_main_window::tab(HWND from, bool backwards) {
    HWND target = tab_target(from, backwards);
    if (target == nullptr || !may_leave_focus_for(target)) {
        return;  // the focus stays in the refused box
    }
    SetFocus(target == profile_list_ ? combo_edit() : target);
}

HWND win32_main_window::tab_target(HWND from, bool backwards) const {
    if (from == combo_edit()) {
        from = profile_list_;
    }
    const auto at = std::find(tab_order_.begin(), tab_order_.end(), from);
    if (at == tab_order_.end()) {
        return nullptr;
    }
    const auto count = static_cast<std::ptrdiff_t>(tab_order_.size());
    std::ptrdiff_t i = at - tab_order_.begin();
    for (std::ptrdiff_t step = 1; step < count; ++step) {
        i = (i + (backwards ? count - 1 : 1)) % count;
        HWND candidate = tab_order_[static_cast<std::size_t>(i)];
        if (IsWindowEnabled(candidate) && IsWindowVisible(candidate)) {
            return candidate;
        }
    }
    return nullptr;
}

int win32_main_window::filter_character(control_ref ref, int code) {
    return form_->typed_character(ref, code);
}

bool win32_main_window::may_leave_focus_for(HWND target) {
    HWND from = logical_focus_;
    if (from == nullptr || from == target) {
        return true;
    }
    const auto ref = control_of(from);
    if (!ref) {
        return true;
    }
    const auto target_ref = control_of(target);
    if (target_ref && *target_ref == *ref) {
        return true;  // within one control (the list and its edit part)
    }
    return form_->may_leave(*ref);
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
    if (logical_focus_ == nullptr) {
        SetFocus(combo_edit() != nullptr ? combo_edit() : profile_list_);
    }
}

// --- main_view

std::string win32_main_window::text(control_ref c) const {
    HWND window = control_window(c);
    return window != nullptr ? win32::window_text(window) : std::string();
}

void win32_main_window::set_text(control_ref c, const std::string& text) {
    if (c.id == control::profile_list) {
        // The list's text names its entry, as the original combo box's Text does: the first
        // entry of exactly that text becomes the selected one (none when no entry has it),
        // so that the arrow keys go on from the profile shown.
        const std::wstring wide = win32::widen(text);
        int match = -1;
        for (int i = 0; i < list_count() && match < 0; ++i) {
            match = combo_item(profile_list_, i) == wide ? i : -1;
        }
        SendMessageW(profile_list_, CB_SETCURSEL, static_cast<WPARAM>(match), 0);
        SetWindowTextW(profile_list_, wide.c_str());
        return;
    }
    // A text set by the program is never cut to the maximum length, which only limits typing.
    if (HWND window = control_window(c)) {
        win32::set_window_text(window, text);
    }
}

bool win32_main_window::enabled(control_ref c) const {
    HWND window = control_window(c);
    return window != nullptr && IsWindowEnabled(window);
}

void win32_main_window::set_enabled(control_ref c, bool enabled) {
    if (HWND window = control_window(c)) {
        EnableWindow(window, enabled ? TRUE : FALSE);
    }
}

int win32_main_window::max_length(control_ref c) const {
    return max_length_of(c);
}

void win32_main_window::set_selection(control_ref c, int start, int length) {
    HWND window = c.id == control::profile_list ? combo_edit() : control_window(c);
    if (window == nullptr || (c.id != control::profile_list && c.id != control::connect_txt &&
                              !is_address_field(c.id))) {
        return;
    }
    const std::wstring text = wide_window_text(window);
    const int begin = win32::utf16_position(text, std::max(start, 0));
    const int end = win32::utf16_position(text, std::max(start, 0) + std::max(length, 0));
    SendMessageW(window, EM_SETSEL, static_cast<WPARAM>(begin), static_cast<LPARAM>(end));
}

int win32_main_window::check_value() const {
    return SendMessageW(dhcp_chk_, BM_GETCHECK, 0, 0) == BST_CHECKED ? checked : unchecked;
}

void win32_main_window::set_check_value(int value) {
    const int state = value == checked ? BST_CHECKED : BST_UNCHECKED;
    if (SendMessageW(dhcp_chk_, BM_GETCHECK, 0, 0) == state) {
        return;
    }
    SendMessageW(dhcp_chk_, BM_SETCHECK, static_cast<WPARAM>(state), 0);
    // A change raises the box's change reaction, as a user's click does.
    form_->dhcp_chk_click();
}

void win32_main_window::set_focus(control_ref c) {
    HWND target = c.id == control::profile_list ? combo_edit() : control_window(c);
    if (target == nullptr || !may_leave_focus_for(target)) {
        return;
    }
    SetFocus(target);
}

int win32_main_window::list_count() const {
    const LRESULT count = SendMessageW(profile_list_, CB_GETCOUNT, 0, 0);
    return count == CB_ERR ? 0 : static_cast<int>(count);
}

std::string win32_main_window::list_item(int i) const {
    if (i < 0 || i >= list_count()) {
        return {};
    }
    return win32::narrow(combo_item(profile_list_, i));
}

// Changing the entries never changes the edit text.
void win32_main_window::restore_edit_text(const std::wstring& text) {
    if (wide_window_text(profile_list_) != text) {
        SetWindowTextW(profile_list_, text.c_str());
    }
}

void win32_main_window::set_list_item(int i, const std::string& text) {
    const std::wstring edit_text = wide_window_text(profile_list_);
    const std::wstring item = win32::widen(text);
    const int count = list_count();
    if (i == count) {
        SendMessageW(profile_list_, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(item.c_str()));
    } else if (i >= 0 && i < count) {
        const LRESULT selected = SendMessageW(profile_list_, CB_GETCURSEL, 0, 0);
        SendMessageW(profile_list_, CB_DELETESTRING, static_cast<WPARAM>(i), 0);
        SendMessageW(profile_list_, CB_INSERTSTRING, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(item.c_str()));
        if (selected == i) {
            SendMessageW(profile_list_, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
        }
    }
    restore_edit_text(edit_text);
}

void win32_main_window::remove_list_item(int i) {
    const std::wstring edit_text = wide_window_text(profile_list_);
    SendMessageW(profile_list_, CB_DELETESTRING, static_cast<WPARAM>(i), 0);
    restore_edit_text(edit_text);
}

int win32_main_window::list_index() const {
    // Typing in the edit text selects no entry.
    const LRESULT i = SendMessageW(profile_list_, CB_GETCURSEL, 0, 0);
    if (i == CB_ERR) {
        return -1;
    }
    const int index = static_cast<int>(i);
    return combo_item(profile_list_, index) == wide_window_text(profile_list_) ? index : -1;
}

void win32_main_window::set_list_visible(bool visible) {
    ShowWindow(profile_list_, visible ? SW_SHOWNA : SW_HIDE);
}

std::string win32_main_window::status_text() const {
    return status_;
}

void win32_main_window::set_status_text(const std::string& text) {
    status_ = text;
    const std::wstring wide = win32::widen(text);
    SendMessageW(status_bar_, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(wide.c_str()));
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
