#include "ui/about_dialog/win32/win32_about_dialog.h"

#include <algorithm>

#include "ui/about_dialog/about_blueprint.h"
#include "ui/about_dialog/win32/win32_about_ids.h"

namespace norvane {

namespace {

constexpr DWORD dialog_style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD dialog_ex_style = WS_EX_DLGMODALFRAME;

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
        wc.lpszClassName = win32_about_ids::window_class;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;

    // Centred over the owner.
    RECT frame =
        win32::twips_rect({0, 0, about_blueprint::client_width, about_blueprint::client_height});
    AdjustWindowRectEx(&frame, dialog_style, FALSE, dialog_ex_style);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT over{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner_ != nullptr) {
        GetWindowRect(owner_, &over);
    }
    const int x = over.left + (over.right - over.left - width) / 2;
    const int y = over.top + (over.bottom - over.top - height) / 2;
    hwnd_ = CreateWindowExW(dialog_ex_style, win32_about_ids::window_class, L"バージョン情報",
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
    namespace place = about_blueprint;
    namespace ids = win32_about_ids;
    const auto control = [this](const wchar_t* window_class, const wchar_t* caption, DWORD style,
                                const twips_box& box, int id, const win32::font& f) {
        return win32::create_control(hwnd_, window_class, caption, style, 0, win32::twips_rect(box),
                                     id, f);
    };
    // Drawn by the dialog (WM_DRAWITEM): an icon control would take the icon's size.
    icon_ = win32::program_icon(32);
    control(L"STATIC", L"", SS_OWNERDRAW, place::pic_icon, ids::pic_icon, gothic_9_);

    constexpr DWORD label = SS_LEFT | SS_NOPREFIX;
    title_ = control(L"STATIC", L"", label, place::lbl_title, ids::lbl_title, title_font_);
    version_ = control(L"STATIC", L"", label, place::lbl_version, ids::lbl_version, version_font_);
    description_ = control(L"STATIC", L"", label, place::lbl_description, ids::lbl_description,
                           description_font_);
    for (std::size_t i = 0; i < url_buttons_.size(); ++i) {
        url_buttons_[i] = control(L"BUTTON", L"", BS_PUSHBUTTON | WS_TABSTOP, place::url_bt[i],
                                  ids::url_bt_first + static_cast<int>(i), gothic_9_);
    }
    ok_ = control(L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, place::cmd_ok, ids::cmd_ok,
                  gothic_9_);
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
            return MAKELRESULT(win32_about_ids::cmd_ok, DC_HASDEFID);
        case WM_DRAWITEM: {
            // The icon at its own size in the top left corner of its place.
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
            FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
            DrawIconEx(item->hDC, item->rcItem.left, item->rcItem.top, icon_, 32, 32, 0, nullptr,
                       DI_NORMAL);
            return TRUE;
        }
        case WM_COMMAND: {
            const int id = LOWORD(w);
            if (HIWORD(w) != BN_CLICKED) {
                return 0;
            }
            if (id == win32_about_ids::cmd_ok) {
                form_->cmd_ok_click();
            } else if (id == IDCANCEL) {
                unload();  // Escape closes the dialog, as its title bar does
            } else if (id >= win32_about_ids::url_bt_first &&
                       id < win32_about_ids::url_bt_first + 2) {
                form_->url_bt_click(id - win32_about_ids::url_bt_first);
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
