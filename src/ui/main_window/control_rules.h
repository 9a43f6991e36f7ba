// Which of the main window's controls take which events, and the limits of its text boxes:
// decided here once, so that every view of the window only maps its toolkit onto them.
#pragma once

#include <algorithm>

#include "ui/main_window/main_view.h"

namespace norvane {

// The seven text inputs: the connection name and the 24 octet boxes. A mouse button held in
// one of them keeps their selection as it is when they gain the focus; otherwise the window's
// logic selects their whole text. The selection on a focus gain is the logic's alone: a
// toolkit's own selection on focus (as on Tab) does not happen in them.
constexpr bool is_text_input(control id) {
    return id == control::connect_txt || is_address_field(id);
}

// The inputs whose focus gain and loss the logic reacts to (help text in the status bar).
// The buttons have no focus reactions.
constexpr bool takes_focus_events(control id) {
    return id == control::profile_list || id == control::dhcp_chk || is_text_input(id);
}

// Whether a turn of the mouse wheel over a control reaches it: the profile list turns its
// entries only while it has the focus, so that a wheel turned over it while another control
// is being edited changes no profile. A wheel never moves the focus.
constexpr bool takes_wheel(control id, bool has_focus) {
    return id != control::profile_list || has_focus;
}

// The maximum length of a text box in characters; 0 for no limit.
constexpr int max_length_of(control_ref c) {
    return is_address_field(c.id) ? octet_max_length : 0;
}

// The limit that a text box applies to typing, given its maximum length, the limit it applies
// now and the length of the text it holds (0: no limit). A text that the program sets is
// shown whole, so the limit widens to hold it (pass current_limit = max_length); once an edit
// leaves the text within the maximum length, the maximum length applies again.
constexpr int typing_limit(int max_length, int current_limit, int text_length) {
    if (max_length <= 0) {
        return 0;
    }
    return text_length <= max_length ? max_length : std::max(current_limit, text_length);
}

}  // namespace norvane
