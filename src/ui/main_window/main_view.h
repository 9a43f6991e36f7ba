// The main window's controls as the window's logic sees them. A toolkit implements this
// interface with real widgets; tests implement it in memory.
#pragma once

#include <cstdint>
#include <string>

#include "ui/main_window/profile_list_entries.h"

namespace norvane {

// The controls of the main window. The six address fields are arrays of four boxes.
enum class control : int {
    profile_list,
    connect_txt,
    ip_add_txt,
    net_mask_txt,
    gateway_txt,
    dns1_txt,
    dns2_txt,
    dns3_txt,
    dhcp_chk,
    save_bt,
    delete_bt,
    submit_bt,
    new_bt,
    ver_bt,
    end_bt,
};

// One control, and for an address field the box index 0 to 3.
struct control_ref {
    control id = control::profile_list;
    int index = 0;
    bool operator==(const control_ref&) const = default;
};

inline constexpr control address_fields[] = {control::ip_add_txt,  control::net_mask_txt,
                                             control::gateway_txt, control::dns1_txt,
                                             control::dns2_txt,    control::dns3_txt};
inline constexpr int boxes_per_field = 4;
inline constexpr int octet_max_length = 3;

constexpr bool is_address_field(control id) {
    return id >= control::ip_add_txt && id <= control::dns3_txt;
}

// States of the DHCP check box.
enum check_value : int { unchecked = 0, checked = 1 };

// Windows virtual-key codes and character codes that the logic receives.
enum key_code : int {
    vk_back = 8,
    vk_return = 13,
    vk_0 = 48,
    vk_9 = 57,
    vk_numpad0 = 96,
    vk_numpad9 = 105,
};

class main_view {
  public:
    virtual ~main_view() = default;

    // Text of a text box, or the editable text of profile_list.
    virtual std::string text(control_ref c) const = 0;
    virtual void set_text(control_ref c, const std::string& text) = 0;
    virtual bool enabled(control_ref c) const = 0;
    virtual void set_enabled(control_ref c, bool enabled) = 0;
    // Maximum length of a text box in characters (0: no limit).
    virtual int max_length(control_ref c) const = 0;
    // Selection of a text box, in characters.
    virtual void set_selection(control_ref c, int start, int length) = 0;

    // The DHCP box. Changing its value raises its change reaction, as a user's click does.
    virtual int check_value() const = 0;
    virtual void set_check_value(int value) = 0;

    // Moves the focus; the controls' focus events follow as for any focus change.
    virtual void set_focus(control_ref c) = 0;

    // Makes profile_list show exactly these entries, in their order, and keeps its edit text.
    // The view reads the names from entries, which stay valid until the next call; the
    // current entry keeps its place (the first entry in a list that was empty, the new last
    // entry when the list got shorter than that place).
    virtual void set_list_entries(const profile_list_entries& entries) = 0;
    // The entry currently selected, or -1.
    virtual int list_index() const = 0;
    virtual void set_list_visible(bool visible) = 0;

    // The status bar's single text.
    virtual std::string status_text() const = 0;
    virtual void set_status_text(const std::string& text) = 0;

    virtual void set_caption(const std::string& caption) = 0;
    // Keeps the window above all others, or lifts that.
    virtual void set_topmost(bool topmost) = 0;
    virtual std::uintptr_t window_handle() const = 0;
    // Shows the About dialog, modal and owned by this window; returns once it is closed.
    virtual void show_about_dialog() = 0;
    // Closes and unloads the window; its unload reaction follows.
    virtual void unload() = 0;
};

}  // namespace norvane
