// The main window's window class and control identifiers: GetDlgItem finds a control by them
// (the tests that drive the program from another process do).
#pragma once

#include "ui/main_window/main_view.h"

namespace norvane::win32_ids {

inline constexpr const wchar_t* main_window_class = L"NorvaneMainForm";

enum : int {
    profile_list = 1000,
    connect_txt = 1001,
    address_first = 1100,  // + 10 × the field's place in address_fields + the box index
    dhcp_chk = 1200,
    save_bt = 1201,
    delete_bt = 1202,
    submit_bt = 1203,
    new_bt = 1204,
    ver_bt = 1205,
    end_bt = 1206,
    status_bar = 1300,
    label1_first = 1400,  // + the Label1 index
    label2_first = 1500,  // + the Label2 index
};

// The identifier of a control of the main window.
constexpr int id_of(control_ref c) {
    switch (c.id) {
        case control::profile_list:
            return profile_list;
        case control::connect_txt:
            return connect_txt;
        case control::dhcp_chk:
            return dhcp_chk;
        case control::save_bt:
            return save_bt;
        case control::delete_bt:
            return delete_bt;
        case control::submit_bt:
            return submit_bt;
        case control::new_bt:
            return new_bt;
        case control::ver_bt:
            return ver_bt;
        case control::end_bt:
            return end_bt;
        default:
            return address_first +
                   10 * (static_cast<int>(c.id) - static_cast<int>(control::ip_add_txt)) + c.index;
    }
}

}  // namespace norvane::win32_ids
