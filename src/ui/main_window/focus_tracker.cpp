#include "ui/main_window/focus_tracker.h"

#include <utility>

namespace norvane {

void focus_tracker::focus_in(control_ref c) {
    if (focus_ == c) {
        return;  // back after a message box, a dialog or a popup, or within one control
    }
    if (const auto previous = std::exchange(focus_, c)) {
        form_.lost_focus(*previous);
    }
    form_.got_focus(c);
}

void focus_tracker::focus_out(control_ref c) {
    if (focus_ != c) {
        return;
    }
    focus_.reset();
    form_.lost_focus(c);
}

bool focus_tracker::may_move_to(std::optional<control_ref> target) {
    if (!focus_ || focus_ == target) {
        return true;
    }
    return form_.may_leave(*focus_);
}

bool focus_tracker::press(std::optional<control_ref> pressed, bool moves_focus) {
    swallow_release_ = moves_focus && !may_move_to(pressed);
    if (swallow_release_) {
        return false;
    }
    if (pressed) {
        form_.mouse_down(*pressed);
    }
    return true;
}

bool focus_tracker::release() {
    return !std::exchange(swallow_release_, false);
}

}  // namespace norvane
