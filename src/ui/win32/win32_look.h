// What the program's Win32 windows share: UTF-8 texts at the wide calls, twip measures, the
// Japanese fonts by their Windows names, the program's icon, scoped GDI handles and the
// creation of a control.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "common/twips_box.h"

namespace norvane::win32 {

// UTF-8 to UTF-16 and back.
std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& utf16);

// The text of a window (a control's caption or contents) as UTF-8.
std::string window_text(HWND window);
void set_window_text(HWND window, const std::string& text);

// The UTF-16 position of a character position of a text (a character beyond the basic plane
// takes two units).
int utf16_position(const std::wstring& text, int characters);

// The blueprints' measures are in twips (1440 to the inch); the screen's dots per inch turn
// them into pixels (15 twips to the pixel at 96 dots per inch).
RECT twips_rect(const twips_box& box);

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

// A child window of parent with that identifier, visible, at a place in pixels, in a font.
HWND create_control(HWND parent, const wchar_t* window_class, const std::wstring& caption,
                    DWORD style, DWORD ex_style, const RECT& where, int id, const font& f);

// The program's icon from its resources, at the given size in pixels (32 or 16); shared, not
// to be destroyed.
HICON program_icon(int size);

}  // namespace norvane::win32
