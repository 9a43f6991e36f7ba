// An in-memory main window that behaves as the platform's window does where the logic relies
// on it: changing the DHCP box raises its reaction, a focus move validates the octet box
// being left and raises the focus events, typing goes through the key preview, the key
// press filter and the maximum length before the key-up event.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ui/main_window/main_form.h"
#include "ui/main_window/main_view.h"

namespace norvane::testing {

class memory_view : public main_view {
  public:
    void attach(main_form& form) { form_ = &form; }

    // --- main_view
    std::string text(control_ref c) const override;
    void set_text(control_ref c, const std::string& text) override;
    bool enabled(control_ref c) const override;
    void set_enabled(control_ref c, bool enabled) override;
    int max_length(control_ref c) const override;
    void set_selection(control_ref c, int start, int length) override;
    int check_value() const override { return check_; }
    void set_check_value(int value) override;
    void set_focus(control_ref c) override;
    void set_list_entries(const profile_list_entries& entries) override;
    int list_index() const override;
    void set_list_visible(bool visible) override { list_visible = visible; }
    std::string status_text() const override { return status; }
    void set_status_text(const std::string& text) override;
    void set_caption(const std::string& text) override { caption = text; }
    void set_topmost(bool on) override { topmost.push_back(on); }
    std::uintptr_t window_handle() const override { return 0x1234; }
    void show_about_dialog() override {}
    void unload() override;

    // --- what a user does
    // Picks entry i of the profile list.
    void choose(int i);
    // Types characters into a control (it gets the focus first); digit keys are released as
    // main-keyboard keys, or keypad keys when keypad is true.
    void type(control_ref c, const std::string& chars, bool keypad = false);
    // Releases a key in the focused control with a shift state.
    void release_key(int key, int shift);
    // Tab or click to another control: returns false when the validation kept the focus.
    bool move_focus(control_ref c) {
        set_focus(c);
        return focused == c;
    }
    // Clicks a button: the focus moves to it first, then its command runs.
    bool click(control button);

    // --- what the window shows
    std::map<std::pair<int, int>, std::string> texts;
    std::map<std::pair<int, int>, bool> disabled;
    std::vector<std::string> items;  // the entries' names as last set
    int current_item = -1;           // the list's current entry, as the toolkit keeps it
    control_ref focused{control::profile_list, 0};
    std::pair<int, int> selection{0, 0};  // of the focused text input
    control_ref selection_of{control::profile_list, 0};
    std::vector<std::string> status_history;
    std::string status;
    std::string caption;
    std::vector<bool> topmost;
    bool list_visible = true;
    bool closed = false;

  private:
    static std::pair<int, int> key(control_ref c) { return {static_cast<int>(c.id), c.index}; }
    main_form* form_ = nullptr;
    int check_ = unchecked;
};

}  // namespace norvane::testing
