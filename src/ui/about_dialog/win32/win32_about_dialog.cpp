#include "ui/about_dialog/win32/win32_about_dialog.h"

#include <algorithm>

#include "ui/main_window/win32/win32_control_ids.h"

namespace norvane {

namespace {

constexpr DWORD dialog_style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD dialog_ex_style = WS_EX_DLGMODALFRAME;

HMENU menu_id(int id) {
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

// Line breaks as a static control draws them.
std::string with_crlf(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

}  // namespace

win32_about_dialog::win32_about_dialog(host::shell& shell, HWND owner)
    : owner_(owner),
      gothic_9_(win32::face::gothic, 9, false),
      title_font_(win32::face::display, 14.25, true),
      version_font_(win32::face::mincho, 12, true),
      description_font_(win32::face::mincho, 9.75, false),
      form_(std::make_unique<about_form>(*this, shell)) {}

win32_about_dialog::~win32_about_dialog() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

void win32_about_dialog::run_modal() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    static const bool registered = [instance] {
        WNDCLASSEXW wc;
        ZeroMemory(&wc, sizeof wc);
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = window_proc;
        wc.cbWndExtra = DLGWINDOWEXTRA;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        wc.lpszClassName = win32_ids::about_window_class;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;

    // Client area 5835 × 3045 twips, centred over the owner.
    RECT frame = win32::twips_rect(0, 0, 5835, 3045);
    AdjustWindowRectEx(&frame, dialog_style, FALSE, dialog_ex_style);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT over{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner_ != nullptr) {
        GetWindowRect(owner_, &over);
    }
    const int x = over.left + (over.right - over.left - width) / 2;
    const int y = over.top + (over.bottom - over.top - height) / 2;
    hwnd_ = CreateWindowExW(dialog_ex_style, win32_ids::about_window_class, L"バージョン情報",
                            dialog_style, std::max(x, 0), std::max(y, 0), width, height, owner_,
                            nullptr, instance, this);
    if (hwnd_ == nullptr) {
        return;
    }
    build_controls();
    form_->form_load();

    if (owner_ != nullptr) {
        EnableWindow(owner_, FALSE);
    }
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    SetFocus(ok_);

    MSG message;
    while (hwnd_ != nullptr) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for the program's own loop
            break;
        }
        if (got == -1) {
            break;
        }
        if (hwnd_ != nullptr && IsDialogMessageW(hwnd_, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (hwnd_ != nullptr) {
        unload();
    }
}

void win32_about_dialog::build_controls() {
    HWND icon = create_control(L"STATIC", L"", SS_ICON, win32::twips_rect(240, 240, 540, 540),
                               win32_ids::pic_icon, gothic_9_);
    SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(win32::program_icon(32)), 0);

    constexpr DWORD label = SS_LEFT | SS_NOPREFIX;
    title_ = create_control(L"STATIC", L"", label, win32::twips_rect(1080, 240, 4575, 360),
                            win32_ids::lbl_title, title_font_);
    version_ = create_control(L"STATIC", L"", label, win32::twips_rect(1080, 600, 4095, 225),
                              win32_ids::lbl_version, version_font_);
    // Four lines; a stand-in face may have a taller line than the original, so the label grows
    // downwards as far as four of its lines need.
    RECT description_rect = win32::twips_rect(1080, 960, 4095, 810);
    if (HDC dc = GetDC(hwnd_); dc != nullptr) {
        const HGDIOBJ old = SelectObject(dc, description_font_.get());
        TEXTMETRICW metrics;
        if (GetTextMetricsW(dc, &metrics)) {
            description_rect.bottom =
                std::max(description_rect.bottom,
                         description_rect.top + 4 * (metrics.tmHeight + metrics.tmExternalLeading));
        }
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
    }
    description_ = create_control(L"STATIC", L"", label, description_rect,
                                  win32_ids::lbl_description, description_font_);
    for (int i = 0; i < 2; ++i) {
        url_buttons_[static_cast<std::size_t>(i)] =
            create_control(L"BUTTON", L"", BS_PUSHBUTTON | WS_TABSTOP,
                           win32::twips_rect(960, i == 0 ? 1920 : 2280, 4455, 255),
                           win32_ids::url_bt_first + i, gothic_9_);
    }
    ok_ = create_control(L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP,
                         win32::twips_rect(4920, 2640, 735, 345), win32_ids::cmd_ok, gothic_9_);
}

HWND win32_about_dialog::create_control(const wchar_t* window_class, const wchar_t* caption,
                                        DWORD style, const RECT& where, int id,
                                        const win32::font& f) {
    HWND control =
        CreateWindowExW(0, window_class, caption, WS_CHILD | WS_VISIBLE | style, where.left,
                        where.top, where.right - where.left, where.bottom - where.top, hwnd_,
                        menu_id(id), GetModuleHandleW(nullptr), nullptr);
    win32::set_font(control, f);
    return control;
}

LRESULT CALLBACK win32_about_dialog::window_proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<win32_about_dialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->hwnd_ != window) {
        return DefWindowProcW(window, message, w, l);
    }
    return self->handle(message, w, l);
}

LRESULT win32_about_dialog::handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case DM_GETDEFID:
            return MAKELRESULT(win32_ids::cmd_ok, DC_HASDEFID);
        case WM_COMMAND: {
            const int id = LOWORD(w);
            if (HIWORD(w) != BN_CLICKED) {
                return 0;
            }
            if (id == win32_ids::cmd_ok) {
                form_->cmd_ok_click();
            } else if (id == IDCANCEL) {
                unload();  // Escape closes the dialog, as its title bar does
            } else if (id >= win32_ids::url_bt_first && id < win32_ids::url_bt_first + 2) {
                form_->url_bt_click(id - win32_ids::url_bt_first);
            }
            return 0;
        }
        case WM_CLOSE:
            unload();
            return 0;
        case WM_NCDESTROY:
            hwnd_ = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, w, l);
}

void win32_about_dialog::set_title_text(const std::string& text) {
    win32::set_window_text(title_, text);
}

void win32_about_dialog::set_version_text(const std::string& text) {
    win32::set_window_text(version_, text);
}

void win32_about_dialog::set_description_text(const std::string& text) {
    win32::set_window_text(description_, with_crlf(text));
}

std::string win32_about_dialog::url_caption(int index) const {
    if (index < 0 || index >= static_cast<int>(url_buttons_.size())) {
        return {};
    }
    return win32::window_text(url_buttons_[static_cast<std::size_t>(index)]);
}

void win32_about_dialog::set_url_caption(int index, const std::string& text) {
    if (index >= 0 && index < static_cast<int>(url_buttons_.size())) {
        win32::set_window_text(url_buttons_[static_cast<std::size_t>(index)], text);
    }
}

host::window_handle win32_about_dialog::window_handle() const {
    return reinterpret_cast<host::window_handle>(hwnd_);
}

void win32_about_dialog::unload() {
    if (hwnd_ == nullptr) {
        return;
    }
    // The owner is enabled before the dialog goes, so that Windows hands the activation back
    // to it rather than to another program's window.
    if (owner_ != nullptr) {
        EnableWindow(owner_, TRUE);
    }
    DestroyWindow(hwnd_);
}

}  // namespace norvane
