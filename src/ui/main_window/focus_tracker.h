// The focus of the main window as its logic sees it, kept in one place for every view. A
// toolkit moves the focus before anyone is asked, and takes it away for a message box or a
// dialog; the view reports what happened in control terms and asks before it lets the focus
// move, and the tracker decides what the logic is told:
// - a focus gain tells the logic of the loss of the control it last saw focused and of the
//   gain, unless the focus only came back to that same control (after a message box, a
//   dialog, a popup) or moved within one control (the profile list and its edit part);
// - before the focus moves, by Tab, by a mouse press or by the program, the control being
//   left is validated; a refusal keeps the focus there;
// - a refused mouse press is swallowed, and so is the release that ends it.
#pragma once

#include <optional>

#include "ui/main_window/main_form.h"
#include "ui/main_window/main_view.h"

namespace norvane {

class focus_tracker {
  public:
    explicit focus_tracker(main_form& form) : form_(form) {}

    // The control the logic was last told has the focus, if any.
    std::optional<control_ref> focus() const { return focus_; }

    // The toolkit gave control c the focus.
    void focus_in(control_ref c);
    // Control c lost the focus for good (not only to a message box, a dialog or a popup).
    void focus_out(control_ref c);

    // Whether the focus may move to target (nullopt: somewhere that is no control): asks the
    // logic whether the control that has the focus may be left, unless target is that same
    // control.
    bool may_move_to(std::optional<control_ref> target);

    // A mouse button pressed on control pressed (nullopt: on no control), which gives it the
    // focus when moves_focus. False when the control being left refuses: the press is
    // swallowed, and so is its release. Otherwise the logic's mouse-down reaction runs, before
    // the focus reaction of the same press.
    bool press(std::optional<control_ref> pressed, bool moves_focus);
    // A mouse button released: false when it ends a refused press, and is swallowed.
    bool release();
    // A refused press is waiting for its release (a double click in between is swallowed too).
    bool swallowing() const { return swallow_release_; }

  private:
    main_form& form_;
    std::optional<control_ref> focus_;
    bool swallow_release_ = false;
};

}  // namespace norvane
