#include "ui/win32/win32_look.h"

#include <cmath>
#include <initializer_list>
#include <vector>

#include "resource_ids.h"

namespace norvane::win32 {

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

int twips_to_pixels_x(int twips) {
    return MulDiv(twips, screen_dpi(LOGPIXELSX), 1440);
}

int twips_to_pixels_y(int twips) {
    return MulDiv(twips, screen_dpi(LOGPIXELSY), 1440);
}

RECT twips_rect(int left, int top, int width, int height) {
    const int x = twips_to_pixels_x(left);
    const int y = twips_to_pixels_y(top);
    return RECT{x, y, x + twips_to_pixels_x(width), y + twips_to_pixels_y(height)};
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

HICON program_icon(int size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(NORVANE_ICON),
                                         IMAGE_ICON, size, size, LR_SHARED));
}

}  // namespace norvane::win32
