// The main window with Win32 controls. It builds the controls, hands every event the window's
// logic reacts to over to main_form, and carries out what the logic asks through main_view.
//
// Every control is subclassed, so the window sees its focus, key and mouse messages first:
// - the key preview: each typed character (WM_CHAR, sent or posted) goes through the logic's
//   form_key_press and, for an octet box, its key_press; a code set to 0 is discarded;
// - Tab and Shift+Tab move the focus along the window's tab order;
// - validate before leaving: before the focus leaves a control by Tab, by a mouse press on
//   another control or by a program focus move, the logic's validate runs for the control
//   being left, and a refusal keeps the focus there and swallows the press and its release;
// - the focus as the logic sees it (the control it was last told has the focus) is kept
//   across message boxes and dialogs, which take Windows' focus away, and given back when
//   the window is activated again.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/program_state.h"
#include "common/ui_services.h"
#include "host/host.h"
#include "ui/main_window/main_form.h"
#include "ui/main_window/main_view.h"
#include "ui/win32/win32_look.h"

namespace norvane {

class win32_main_window final : public main_view {
  public:
    win32_main_window(ui_services& ui, program_state& state, host::shell& shell);
    ~win32_main_window() override;
    win32_main_window(const win32_main_window&) = delete;
    win32_main_window& operator=(const win32_main_window&) = delete;

    main_form& form() { return *form_; }
    HWND hwnd() const { return hwnd_; }
    // Loads the window (the logic's form_load, which shows it) and gives the first control in
    // the tab order the focus.
    void show();
    // False once the window has been unloaded.
    bool is_open() const { return hwnd_ != nullptr && !unloaded_; }

    // --- main_view
    std::string text(control_ref c) const override;
    void set_text(control_ref c, const std::string& text) override;
    bool enabled(control_ref c) const override;
    void set_enabled(control_ref c, bool enabled) override;
    int max_length(control_ref c) const override;
    void set_selection(control_ref c, int start, int length) override;
    int check_value() const override;
    void set_check_value(int value) override;
    void set_focus(control_ref c) override;
    int list_count() const override;
    std::string list_item(int i) const override;
    void set_list_item(int i, const std::string& text) override;
    void remove_list_item(int i) override;
    int list_index() const override;
    void set_list_visible(bool visible) override;
    std::string status_text() const override;
    void set_status_text(const std::string& text) override;
    void set_caption(const std::string& caption) override;
    void set_topmost(bool topmost) override;
    std::uintptr_t window_handle() const override;
    void show_about_dialog() override;
    void unload() override;

  private:
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK control_proc(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT handle_window(UINT message, WPARAM w, LPARAM l);
    LRESULT handle_control(HWND window, UINT message, WPARAM w, LPARAM l);

    void build_controls();
    HWND create_control(const wchar_t* window_class, const std::wstring& caption, DWORD style,
                        DWORD ex_style, const RECT& where, int id, const win32::font& f);
    void register_control(HWND window, control_ref ref);
    void add_tooltip(HWND window, const char* text);

    // The window of a control (the edit part of profile_list), or nullptr.
    HWND control_window(control_ref c) const;
    // The control a window belongs to (profile_list for its edit part).
    std::optional<control_ref> control_of(HWND window) const;
    HWND combo_edit() const;

    void command(int id, int notification);
    void focus_in(HWND window);
    bool mouse_press(HWND window, std::optional<control_ref> ref);
    void mouse_release(std::optional<control_ref> ref, HWND window);
    void tab(HWND from, bool backwards);
    int filter_character(control_ref ref, int code);
    void restore_edit_text(const std::wstring& text);

    // Validates the control that has the focus as the logic sees it when the focus is about
    // to move to target; false when it refuses to let it go.
    bool may_leave_focus_for(HWND target);
    HWND tab_target(HWND from, bool backwards) const;

    host::shell& shell_;
    std::unique_ptr<main_form> form_;

    HWND hwnd_ = nullptr;
    HWND profile_list_ = nullptr;
    HWND connect_txt_ = nullptr;
    std::array<std::array<HWND, boxes_per_field>, std::size(address_fields)> address_boxes_{};
    HWND dhcp_chk_ = nullptr;
    std::map<control, HWND> buttons_;
    HWND status_bar_ = nullptr;
    HWND tooltip_ = nullptr;
    std::vector<HWND> tab_order_;

    win32::font gothic_9_;
    win32::font gothic_bold_11_;
    win32::font gothic_bold_12_;

    struct subclass {
        control_ref ref;
        WNDPROC original = nullptr;
    };
    std::map<HWND, subclass> subclasses_;

    std::string status_;
    // The control the logic was last told has the focus.
    HWND logical_focus_ = nullptr;
    bool loaded_ = false;
    bool unloaded_ = false;
    bool swallow_release_ = false;
};

}  // namespace norvane
