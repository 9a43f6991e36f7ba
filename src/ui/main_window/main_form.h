// The main window's logic: its reactions to the user and the procedures they share. It sees
// the window only through main_view and the toolkit only through ui_services.
#pragma once

#include <string>

#include "common/program_state.h"
#include "common/ui_services.h"
#include "host/host.h"
#include "profiles/profile_record.h"
#include "ui/main_window/main_view.h"
#include "ui/main_window/profile_list_entries.h"

namespace norvane {

class main_form {
  public:
    main_form(main_view& view, ui_services& ui, program_state& state, host::shell& shell);

    // --- window reactions
    void form_load();
    void form_unload();
    // Every key press in the window, before the focused control; a code set to 0 is discarded.
    void form_key_press(int& key_ascii);

    // --- clicks and changes
    void profile_list_click();
    void new_bt_click();
    void end_bt_click();
    void dhcp_chk_click();
    void save_bt_click();
    void delete_bt_click();
    void submit_bt_click();
    void ver_bt_click();

    // --- focus, mouse and keys of the inputs. A view reports them for every control; the
    // controls that have no such reaction (control_rules.h) are ignored here.
    void got_focus(control_ref c);
    void lost_focus(control_ref c);
    void mouse_down(control_ref c);
    void mouse_up(control_ref c);
    // Key press of an octet box; a code set to 0 is discarded.
    void key_press(control_ref c, int& key_ascii);
    void key_up(control_ref c, int key, int shift);
    // Validation before the focus leaves an octet box; cancel true keeps the focus there.
    void validate(control_ref c, bool& cancel);

    // A character typed into a control: the window's key preview, then the control's own key
    // press. Returns the character code to keep, 0 when the keystroke is discarded.
    int typed_character(control_ref c, int key_ascii);
    // Text that arrives whole (an input method's commit) passes the same filters character by
    // character; returns the characters kept.
    std::u32string typed_text(control_ref c, const std::u32string& text);
    // Whether the focus may leave control c: the validation of the box being left, before any
    // focus change by Tab, by a click or by the program. False keeps the focus in c.
    bool may_leave(control_ref c);

    // --- procedures shared by the reactions
    void clear_input();
    void enable_address(bool enabled);
    void show_profile(const profile_record& record);
    bool check_input();

    // The record that the window's inputs describe (Save and Submit).
    profile_record record_from_controls() const;

    // The status-bar help text of an input ("" for a control without one).
    static std::string help_text(control_ref c);

    bool mouse_pressed() const { return mouse_pressed_; }

  private:
    void refresh_list(bool keep_text);
    void report_incomplete(control_ref focus_to, const std::string& message);
    std::string joined_address(control field) const;
    void finish_database_update();

    main_view& view_;
    ui_services& ui_;
    program_state& state_;
    host::shell& shell_;
    // What profile_list shows: the entries of the table as last loaded.
    profile_list_entries list_entries_;
    bool mouse_pressed_ = false;
};

}  // namespace norvane
