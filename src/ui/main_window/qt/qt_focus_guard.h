// The main window's event filter. Qt has no validate-before-leaving event and moves the focus
// before anyone is asked; the guard stands between Qt's events and the window's focus tracker
// (focus_tracker.h), which decides what the logic hears:
// - before the focus leaves a control by Tab, by a click on another control or by a program
//   focus move, it asks the tracker; a refusal keeps the focus where it is and swallows the
//   whole click;
// - it reports focus gains, and the losses that are more than the window's activation
//   changing (a message box, a dialog, the profile list's drop-down coming and going);
// - it hands over mouse presses (before the focus reaction of the same click), releases,
//   typed characters (which the logic may discard), released keys and an input method's
//   committed text, and holds back a wheel turn that the logic does not let reach a control.
// It watches only the window's own controls and its native window.
#pragma once

#include <QHash>
#include <QObject>
#include <optional>

#include "ui/main_window/focus_tracker.h"
#include "ui/main_window/main_form.h"
#include "ui/main_window/main_view.h"

class QInputMethodEvent;
class QKeyEvent;
class QMouseEvent;
class QWidget;

namespace norvane {

class qt_focus_guard : public QObject {
  public:
    qt_focus_guard(QWidget& window, main_form& form);

    // Watches the widget of a control.
    void watch(QWidget* widget, control_ref ref);
    // Watches the window's native window, for mouse presses before Qt moves the focus for
    // them. Once the window exists (after it is first shown).
    void watch_window_handle();

    // A program focus move: the control being left is asked first.
    void move_focus(QWidget* target);
    // Tab (next) or Shift+Tab: false when the control being left keeps the focus.
    bool may_tab(bool next);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The control of a widget, or of its nearest watched ancestor within the window.
    std::optional<control_ref> control_of(const QObject* object) const;
    bool may_leave_focus_for(QWidget* target);
    QWidget* tab_target(QWidget* from, bool next) const;
    QWidget* click_focus_target(QWidget* hit) const;

    bool window_mouse_event(QMouseEvent* event);
    bool focus_in(QWidget* widget, control_ref ref, Qt::FocusReason reason);
    void focus_out(control_ref ref, Qt::FocusReason reason);
    bool key_press(QWidget* widget, control_ref ref, const QKeyEvent* event);
    bool input_method(QWidget* widget, control_ref ref, const QInputMethodEvent* event);
    // Sends a replacement of a swallowed event to the widget, past this filter.
    void resend(QWidget* widget, QEvent* event);

    QWidget& window_;
    main_form& form_;
    QHash<const QObject*, control_ref> controls_;
    focus_tracker tracker_;
    // A replacement event is on its way to a widget.
    bool resending_ = false;
};

}  // namespace norvane
