#include "support/memory_view.h"

#include <algorithm>
#include <stdexcept>

namespace norvane::testing {

std::string memory_view::text(control_ref c) const {
    auto found = texts.find(key(c));
    return found == texts.end() ? std::string() : found->second;
}

void memory_view::set_text(control_ref c, const std::string& value) {
    texts[key(c)] = value;
}

bool memory_view::enabled(control_ref c) const {
    auto found = disabled.find(key(c));
    return found == disabled.end() || !found->second;
}

void memory_view::set_enabled(control_ref c, bool on) {
    disabled[key(c)] = !on;
}

int memory_view::max_length(control_ref c) const {
    return is_address_field(c.id) ? octet_max_length : 0;
}

void memory_view::set_selection(control_ref c, int start, int length) {
    selection_of = c;
    selection = {start, length};
}

void memory_view::set_check_value(int value) {
    const bool changed = value != check_;
    check_ = value;
    if (changed && form_ != nullptr) {
        form_->dhcp_chk_click();
    }
}

void memory_view::set_focus(control_ref c) {
    if (c == focused) {
        return;
    }
    if (form_ != nullptr && !form_->may_leave(focused)) {
        return;
    }
    const control_ref old = focused;
    focused = c;
    selection_of = c;
    selection = {static_cast<int>(text(c).size()), 0};  // a caret at the end
    if (form_ != nullptr) {
        form_->lost_focus(old);
        form_->got_focus(c);
    }
}

// As a combo box does: the current entry keeps its place, the first entry of a list that was
// empty becomes current, and a list grown shorter than that place makes its last entry current.
void memory_view::set_list_entries(const profile_list_entries& entries) {
    items.clear();
    for (int i = 0; i < entries.count(); ++i) {
        items.emplace_back(entries.name(i));
    }
    const int count = static_cast<int>(items.size());
    current_item = current_item < 0 ? (count > 0 ? 0 : -1) : std::min(current_item, count - 1);
}

// The current entry counts as selected only while the list's text is that entry's: a typed
// text selects nothing.
int memory_view::list_index() const {
    if (current_item < 0 ||
        items.at(static_cast<size_t>(current_item)) != text({control::profile_list})) {
        return -1;
    }
    return current_item;
}

void memory_view::set_status_text(const std::string& value) {
    status = value;
    status_history.push_back(value);
}

void memory_view::unload() {
    closed = true;
    if (form_ != nullptr) {
        form_->form_unload();
    }
}

void memory_view::choose(int i) {
    current_item = i;
    set_text({control::profile_list}, items.at(static_cast<size_t>(i)));
    form_->profile_list_click();
}

void memory_view::type(control_ref c, const std::string& chars, bool keypad) {
    if (!move_focus(c)) {
        throw std::logic_error("the focus could not move to the control to type into");
    }
    for (char ch : chars) {
        const int code = form_->typed_character(focused, static_cast<unsigned char>(ch));
        std::string current = text(focused);
        if (code == vk_back) {
            if (!current.empty()) {
                current.pop_back();
            }
        } else if (code != 0) {
            if (selection_of == focused && selection.second > 0) {
                current.erase(static_cast<size_t>(selection.first),
                              static_cast<size_t>(selection.second));
            }
            const int limit = max_length(focused);
            if (limit == 0 || static_cast<int>(current.size()) < limit) {
                current += static_cast<char>(code);
            }
        }
        selection = {static_cast<int>(current.size()), 0};
        set_text(focused, current);
        int vk = static_cast<unsigned char>(ch);
        if (ch >= '0' && ch <= '9' && keypad) {
            vk = vk_numpad0 + (ch - '0');
        } else if (ch == '\b') {
            vk = vk_back;
        }
        release_key(vk, 0);
    }
}

void memory_view::release_key(int vk, int shift) {
    form_->key_up(focused, vk, shift);
}

bool memory_view::click(control button) {
    static const std::map<control, void (main_form::*)()> commands = {
        {control::save_bt, &main_form::save_bt_click},
        {control::delete_bt, &main_form::delete_bt_click},
        {control::submit_bt, &main_form::submit_bt_click},
        {control::new_bt, &main_form::new_bt_click},
        {control::ver_bt, &main_form::ver_bt_click},
        {control::end_bt, &main_form::end_bt_click}};
    const auto command = commands.at(button);  // throws for what is not a button
    if (!move_focus({button})) {
        return false;
    }
    (form_->*command)();
    return true;
}

}  // namespace norvane::testing
