// The About dialog's window class and control identifiers: GetDlgItem finds a control by them
// (the tests that drive the program from another process do).
#pragma once

namespace norvane::win32_about_ids {

inline constexpr const wchar_t* window_class = L"NorvaneAboutForm";

enum : int {
    cmd_ok = 1,  // IDOK: Enter presses it
    pic_icon = 2000,
    lbl_title = 2001,
    lbl_version = 2002,
    lbl_description = 2003,
    url_bt_first = 2010,  // + the url_bt index
};

}  // namespace norvane::win32_about_ids
