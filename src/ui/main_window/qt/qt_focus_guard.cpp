#include "ui/main_window/qt/qt_focus_guard.h"

#include <QApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>
#include <string>

#include "ui/main_window/control_rules.h"
#include "ui/main_window/qt/qt_key_translation.h"

namespace norvane {

namespace {

bool has_policy(const QWidget* widget, Qt::FocusPolicy policy) {
    return (static_cast<int>(widget->focusPolicy()) & policy) == policy;
}

// The focus reasons for which a QLineEdit selects its whole text by itself.
bool qt_selects_on_focus(Qt::FocusReason reason) {
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
           reason == Qt::ShortcutFocusReason;
}

}  // namespace

qt_focus_guard::qt_focus_guard(QWidget& window, main_form& form)
    : QObject(&window), window_(window), form_(form), tracker_(form) {}

void qt_focus_guard::watch(QWidget* widget, control_ref ref) {
    controls_.insert(widget, ref);
    widget->installEventFilter(this);
}

void qt_focus_guard::watch_window_handle() {
    if (QWindow* handle = window_.windowHandle()) {
        handle->installEventFilter(this);  // installing twice keeps one filter
    }
}

void qt_focus_guard::move_focus(QWidget* target) {
    if (target != nullptr && may_leave_focus_for(target)) {
        target->setFocus(Qt::OtherFocusReason);
    }
}

bool qt_focus_guard::may_tab(bool next) {
    QWidget* from = window_.focusWidget();
    return from == nullptr || may_leave_focus_for(tab_target(from, next));
}

bool qt_focus_guard::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_.windowHandle()) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseButtonRelease:
                return window_mouse_event(static_cast<QMouseEvent*>(event));
            default:
                return false;
        }
    }
    const auto it = controls_.constFind(watched);
    if (it == controls_.cend() || resending_) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    const control_ref ref = it.value();
    switch (event->type()) {
        case QEvent::FocusIn:
            return focus_in(widget, ref, static_cast<QFocusEvent*>(event)->reason());
        case QEvent::FocusOut:
            focus_out(ref, static_cast<QFocusEvent*>(event)->reason());
            return false;
        case QEvent::KeyPress:
            return key_press(widget, ref, static_cast<QKeyEvent*>(event));
        case QEvent::KeyRelease: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat()) {
                form_.key_up(ref, qt_keys::virtual_key(key->key(), key->modifiers()),
                             qt_keys::shift_state(key->modifiers()));
            }
            return false;
        }
        case QEvent::InputMethod:
            return input_method(widget, ref, static_cast<QInputMethodEvent*>(event));
        case QEvent::Wheel:
            return !takes_wheel(ref.id, QApplication::focusWidget() == widget);
        case QEvent::MouseButtonRelease:
            form_.mouse_up(ref);
            return false;
        default:
            return false;
    }
}

std::optional<control_ref> qt_focus_guard::control_of(const QObject* object) const {
    for (; object != nullptr && object != &window_; object = object->parent()) {
        const auto it = controls_.constFind(object);
        if (it != controls_.cend()) {
            return it.value();
        }
    }
    return std::nullopt;
}

// Mouse presses reach the native window before Qt gives the focus to the clicked control: the
// control being left is asked first (a refusal swallows the whole click), and the mouse-down
// reaction comes before the focus reaction of the same click.
bool qt_focus_guard::window_mouse_event(QMouseEvent* event) {
    if (QApplication::activePopupWidget() != nullptr) {
        return false;  // the click closes the open popup
    }
    switch (event->type()) {
        case QEvent::MouseButtonRelease:
            return !tracker_.release();
        case QEvent::MouseButtonDblClick:
            return tracker_.swallowing();
        case QEvent::MouseButtonPress:
            break;
        default:
            return false;
    }
    QWidget* hit = window_.childAt(event->position().toPoint());
    QWidget* target = hit != nullptr ? click_focus_target(hit) : nullptr;
    return !tracker_.press(control_of(target != nullptr ? target : hit), target != nullptr);
}

bool qt_focus_guard::focus_in(QWidget* widget, control_ref ref, Qt::FocusReason reason) {
    tracker_.focus_in(ref);
    if (!is_text_input(ref.id) || !qt_selects_on_focus(reason)) {
        return false;
    }
    // The logic alone selects in a text input on a focus gain: the box receives the focus
    // without Qt's own select-all on Tab (which would also select while a mouse button is
    // held in another input).
    QFocusEvent plain(QEvent::FocusIn, Qt::OtherFocusReason);
    resend(widget, &plain);
    return true;
}

void qt_focus_guard::focus_out(control_ref ref, Qt::FocusReason reason) {
    // Opening the list's drop-down moves the focus into the popup: on the original platform
    // the list keeps it.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
        QApplication::activePopupWidget() != nullptr) {
        return;
    }
    tracker_.focus_out(ref);
}

bool qt_focus_guard::key_press(QWidget* widget, control_ref ref, const QKeyEvent* event) {
    const int original = qt_keys::character_code(event->key(), event->modifiers(), event->text());
    if (original < 0) {
        return false;
    }
    const int code = form_.typed_character(ref, original);
    if (code == original) {
        return false;
    }
    if (code != 0) {
        // The logic replaced the character: the control receives the new one.
        const char32_t character = static_cast<char32_t>(code);
        QKeyEvent replacement(event->type(), event->key(), event->modifiers(),
                              QString::fromUcs4(&character, 1), event->isAutoRepeat(),
                              static_cast<quint16>(event->count()));
        resend(widget, &replacement);
    }
    return true;
}

bool qt_focus_guard::input_method(QWidget* widget, control_ref ref,
                                  const QInputMethodEvent* event) {
    if (event->commitString().isEmpty()) {
        return false;
    }
    const QList<uint> characters = event->commitString().toUcs4();
    const std::u32string committed(characters.begin(), characters.end());
    const std::u32string kept = form_.typed_text(ref, committed);
    if (kept == committed) {
        return false;
    }
    QInputMethodEvent replacement(event->preeditString(), event->attributes());
    replacement.setCommitString(QString::fromUcs4(kept.data(), static_cast<qsizetype>(kept.size())),
                                event->replacementStart(), event->replacementLength());
    resend(widget, &replacement);
    return true;
}

void qt_focus_guard::resend(QWidget* widget, QEvent* event) {
    resending_ = true;
    QCoreApplication::sendEvent(widget, event);
    resending_ = false;
}

bool qt_focus_guard::may_leave_focus_for(QWidget* target) {
    return tracker_.may_move_to(control_of(target));
}

// The control that Tab (next) or Shift+Tab would move the focus to from the given one.
QWidget* qt_focus_guard::tab_target(QWidget* from, bool next) const {
    QWidget* candidate = from;
    for (;;) {
        candidate = next ? candidate->nextInFocusChain() : candidate->previousInFocusChain();
        if (candidate == nullptr || candidate == from) {
            return from;
        }
        if (candidate->window() == &window_ && candidate->focusProxy() == nullptr &&
            has_policy(candidate, Qt::TabFocus) && candidate->isEnabled() &&
            candidate->isVisibleTo(&window_)) {
            return candidate;
        }
    }
}

// The widget that a click on hit gives the focus to, as Qt decides it, or nullptr.
QWidget* qt_focus_guard::click_focus_target(QWidget* hit) const {
    for (QWidget* w = hit; w != nullptr; w = w->parentWidget()) {
        if (w->isEnabled() && has_policy(w, Qt::ClickFocus)) {
            QWidget* target = w;
            while (target->focusProxy() != nullptr) {
                target = target->focusProxy();
            }
            return has_policy(target, Qt::ClickFocus) ? target : nullptr;
        }
        if (w->isWindow()) {
            break;
        }
    }
    return nullptr;
}

}  // namespace norvane
