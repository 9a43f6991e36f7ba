// What the program's Win32 windows share: UTF-8 texts at the wide calls, twip measures, the
// Japanese fonts by their Windows names, the program's icon, and scoped GDI handles.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "host/win32/wide_text.h"

namespace norvane::win32 {

// UTF-8 to UTF-16 and back, as the host side converts them.
using host::win32::narrow;
using host::win32::widen;

// The text of a window (a control's caption or contents) as UTF-8.
std::string window_text(HWND window);
void set_window_text(HWND window, const std::string& text);

// The UTF-16 position of a character position of a text (a character beyond the basic plane
// takes two units).
int utf16_position(const std::wstring& text, int characters);

// Form measures are in twips (1440 to the inch); the screen's dots per inch turn them into
// pixels, as the forms were laid out (15 twips to the pixel at 96 dots per inch).
int twips_to_pixels_x(int twips);
int twips_to_pixels_y(int twips);
RECT twips_rect(int left, int top, int width, int height);

// Font faces of the forms, by their Windows names, each with the stand-ins used where it is
// not installed (under Wine: the IPA fonts); the first installed face of the list is used.
enum class face { gothic, mincho, display };
const wchar_t* face_name(face f);

// A font that is deleted with its owner.
class font {
  public:
    font() = default;
    // points at the screen's dots per inch; a Japanese character set, so that a face that is
    // not installed falls back to a Japanese one.
    font(face f, double points, bool bold);
    ~font();
    font(font&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    font& operator=(font&& other) noexcept;
    font(const font&) = delete;
    font& operator=(const font&) = delete;

    HFONT get() const { return handle_; }

  private:
    HFONT handle_ = nullptr;
};

void set_font(HWND window, const font& f);

// The program's icon from its resources, at the given size in pixels (32 or 16); shared, not
// to be destroyed.
HICON program_icon(int size);

}  // namespace norvane::win32
