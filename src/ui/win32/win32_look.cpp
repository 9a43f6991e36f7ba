#include "ui/win32/win32_look.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

#include "resource_ids.h"

namespace norvane::win32 {

std::wstring widen(const std::string& utf8) {
    const int size = static_cast<int>(utf8.size());
    const int n = size > 0 ? MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0) : 0;
    std::wstring wide(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
    }
    return wide;
}

std::string narrow(const std::wstring& utf16) {
    const int size = static_cast<int>(utf16.size());
    const int n =
        size > 0 ? WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr)
                 : 0;
    std::string utf8(static_cast<std::size_t>(std::max(n, 0)), '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, utf8.data(), n, nullptr, nullptr);
    }
    return utf8;
}

std::string window_text(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) {
        return {};
    }
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int n = GetWindowTextW(window, buffer.data(), length + 1);
    return narrow(std::wstring(buffer.data(), static_cast<std::size_t>(n > 0 ? n : 0)));
}

void set_window_text(HWND window, const std::string& text) {
    SetWindowTextW(window, widen(text).c_str());
}

int utf16_position(const std::wstring& text, int characters) {
    int position = 0;
    const int size = static_cast<int>(text.size());
    for (int n = 0; n < characters && position < size; ++n) {
        const wchar_t unit = text[static_cast<std::size_t>(position)];
        const bool pair = unit >= 0xD800 && unit <= 0xDBFF && position + 1 < size;
        position += pair ? 2 : 1;
    }
    return position;
}

namespace {

int screen_dpi(int index) {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, index) : 96;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : 96;
}

}  // namespace

RECT twips_rect(const twips_box& box) {
    const int dpi_x = screen_dpi(LOGPIXELSX);
    const int dpi_y = screen_dpi(LOGPIXELSY);
    const int x = MulDiv(box.left, dpi_x, 1440);
    const int y = MulDiv(box.top, dpi_y, 1440);
    return RECT{x, y, x + MulDiv(box.width, dpi_x, 1440), y + MulDiv(box.height, dpi_y, 1440)};
}

namespace {

int CALLBACK note_face(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool installed(const wchar_t* name) {
    LOGFONTW wanted;
    ZeroMemory(&wanted, sizeof wanted);
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, name, LF_FACESIZE);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &wanted, note_face, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

const wchar_t* first_installed(std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* name : names) {
        if (installed(name)) {
            return name;
        }
    }
    return *names.begin();  // the font mapper picks a Japanese face for it
}

}  // namespace

const wchar_t* face_name(face f) {
    static const wchar_t* const gothic =
        first_installed({L"ＭＳ ゴシック", L"MS Gothic", L"IPAゴシック", L"IPAGothic"});
    static const wchar_t* const mincho =
        first_installed({L"ＭＳ 明朝", L"MS Mincho", L"IPA明朝", L"IPAMincho"});
    static const wchar_t* const display = first_installed(
        {L"HGP創英角ﾎﾟｯﾌﾟ体", L"HGPSoeiKakupoptai", L"IPA Pゴシック", L"IPAPGothic"});
    switch (f) {
        case face::mincho:
            return mincho;
        case face::display:
            return display;
        default:
            return gothic;
    }
}

font::font(face f, double points, bool bold) {
    const wchar_t* name = face_name(f);
    const int height = -static_cast<int>(std::lround(points * screen_dpi(LOGPIXELSY) / 72.0));
    handle_ = CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                          SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                          DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, name);
}

font::~font() {
    if (handle_ != nullptr) {
        DeleteObject(handle_);
    }
}

font& font::operator=(font&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) {
            DeleteObject(handle_);
        }
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void set_font(HWND window, const font& f) {
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(f.get()), TRUE);
}

HWND create_control(HWND parent, const wchar_t* window_class, const std::wstring& caption,
                    DWORD style, DWORD ex_style, const RECT& where, int id, const font& f) {
    HWND control = CreateWindowExW(
        ex_style, window_class, caption.c_str(), WS_CHILD | WS_VISIBLE | style, where.left,
        where.top, where.right - where.left, where.bottom - where.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    set_font(control, f);
    return control;
}

HICON program_icon(int size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(NORVANE_ICON),
                                         IMAGE_ICON, size, size, LR_SHARED));
}

}  // namespace norvane::win32
