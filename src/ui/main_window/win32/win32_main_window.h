// The main window with Win32 controls: the adapter between main_view and the controls. It
// creates the window and its controls (win32_main_window_layout), hands their clicks and
// changes to main_form (win32_message_translation), lets the focus guard (win32_focus_guard)
// hand over their focus, mouse and key messages, and carries out what the logic asks through
// main_view.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "common/program_state.h"
#include "common/ui_services.h"
#include "host/host.h"
#include "ui/main_window/main_form.h"
#include "ui/main_window/main_view.h"
#include "ui/main_window/win32/win32_main_window_layout.h"

namespace norvane {

class win32_focus_guard;

class win32_main_window final : public main_view {
  public:
    win32_main_window(ui_services& ui, program_state& state, host::shell& shell);
    ~win32_main_window() override;
    win32_main_window(const win32_main_window&) = delete;
    win32_main_window& operator=(const win32_main_window&) = delete;

    main_form& form() { return *form_; }
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
    void set_list_entries(const profile_list_entries& entries) override;
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
    LRESULT handle_window(UINT message, WPARAM w, LPARAM l);
    void command(int id, int notification);

    host::shell& shell_;
    win32_main_window_fonts fonts_;
    std::unique_ptr<main_form> form_;
    HWND hwnd_ = nullptr;
    win32_main_window_controls controls_;
    // Lives until the window and its controls are destroyed (in the destructor's body).
    std::unique_ptr<win32_focus_guard> guard_;
    HWND tooltip_ = nullptr;
    std::string status_;
    bool loaded_ = false;
    bool unloaded_ = false;
};

}  // namespace norvane
