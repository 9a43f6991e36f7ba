#include "ui/main_window/qt/qt_main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>
#include <algorithm>

#include "ui/about_dialog/qt/qt_about_dialog.h"
#include "ui/main_window/control_rules.h"
#include "ui/main_window/qt/qt_focus_guard.h"
#include "ui/main_window/qt/qt_profile_list_model.h"

namespace norvane {

namespace {

QString from_std(const std::string& text) {
    return QString::fromStdString(text);
}

// The UTF-16 position of a character position of the text.
int utf16_position(const QString& text, int characters) {
    int position = 0;
    const int size = static_cast<int>(text.size());
    for (int n = 0; n < characters && position < size; ++n) {
        const bool pair = text.at(position).isHighSurrogate() && position + 1 < size &&
                          text.at(position + 1).isLowSurrogate();
        position += pair ? 2 : 1;
    }
    return position;
}

// Applies the typing limit of a box that holds text (0: the box has no limit).
void apply_typing_limit(QLineEdit* edit, int max_length, int current_limit, const QString& text) {
    if (const int limit = typing_limit(max_length, current_limit, static_cast<int>(text.size()));
        limit > 0 && limit != edit->maxLength()) {
        edit->setMaxLength(limit);
    }
}

}  // namespace

qt_main_window::qt_main_window(ui_services& ui, program_state& state, host::shell& shell,
                               QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      shell_(shell),
      controls_(build_main_window(*this)),
      form_(std::make_unique<main_form>(*this, ui, state, shell)),
      guard_(std::make_unique<qt_focus_guard>(*this, *form_)) {
    for (const auto& [widget, ref] : controls_.all()) {
        guard_->watch(widget, ref);
    }
    connect_controls();
}

qt_main_window::~qt_main_window() {
    // The entries belong to the logic, which goes before the widgets do.
    controls_.profile_entries->forget_entries();
}

void qt_main_window::connect_controls() {
    const main_window_controls& c = controls_;
    connect(c.profile_list, &QComboBox::activated, this, [this] { form_->profile_list_click(); });
    // toggled: the box has two states, and Qt 6.4 and 6.8 both have it without deprecation.
    connect(c.dhcp_chk, &QCheckBox::toggled, this, [this] { form_->dhcp_chk_click(); });
    connect(c.save_bt, &QPushButton::clicked, this, [this] { form_->save_bt_click(); });
    connect(c.delete_bt, &QPushButton::clicked, this, [this] { form_->delete_bt_click(); });
    connect(c.submit_bt, &QPushButton::clicked, this, [this] { form_->submit_bt_click(); });
    connect(c.new_bt, &QPushButton::clicked, this, [this] { form_->new_bt_click(); });
    connect(c.ver_bt, &QPushButton::clicked, this, [this] { form_->ver_bt_click(); });
    connect(c.end_bt, &QPushButton::clicked, this, [this] { form_->end_bt_click(); });
    // A box widened for a longer text set by the program narrows again with an edit.
    for (const auto& [widget, ref] : c.all()) {
        if (auto* edit = qobject_cast<QLineEdit*>(widget); edit && max_length_of(ref) > 0) {
            connect(edit, &QLineEdit::textChanged, this, [edit, ref](const QString& text) {
                apply_typing_limit(edit, max_length_of(ref), edit->maxLength(), text);
            });
        }
    }
}

QLineEdit* qt_main_window::line_edit(control_ref c) const {
    if (c.id == control::profile_list) {
        return controls_.profile_list->lineEdit();
    }
    return qobject_cast<QLineEdit*>(control_widget(c));
}

// --- main_view

std::string qt_main_window::text(control_ref c) const {
    if (c.id == control::profile_list) {
        return controls_.profile_list->currentText().toStdString();
    }
    if (QLineEdit* edit = line_edit(c)) {
        return edit->text().toStdString();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control_widget(c))) {
        return button->text().toStdString();
    }
    return {};
}

void qt_main_window::set_text(control_ref c, const std::string& text) {
    if (c.id == control::profile_list) {
        controls_.profile_list->setEditText(from_std(text));
    } else if (QLineEdit* edit = line_edit(c)) {
        const QString value = from_std(text);
        apply_typing_limit(edit, max_length(c), max_length(c), value);  // shown whole
        edit->setText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control_widget(c))) {
        button->setText(from_std(text));
    }
}

bool qt_main_window::enabled(control_ref c) const {
    const QWidget* widget = control_widget(c);
    return widget != nullptr && widget->isEnabled();
}

void qt_main_window::set_enabled(control_ref c, bool enabled) {
    if (QWidget* widget = control_widget(c)) {
        widget->setEnabled(enabled);
    }
}

int qt_main_window::max_length(control_ref c) const {
    return max_length_of(c);
}

void qt_main_window::set_selection(control_ref c, int start, int length) {
    QLineEdit* edit = line_edit(c);
    if (edit == nullptr) {
        return;
    }
    const QString text = edit->text();
    const int begin = utf16_position(text, std::max(start, 0));
    const int end = utf16_position(text, std::max(start, 0) + std::max(length, 0));
    if (end > begin) {
        edit->setSelection(begin, end - begin);
    } else {
        edit->deselect();
        edit->setCursorPosition(begin);
    }
}

int qt_main_window::check_value() const {
    return controls_.dhcp_chk->isChecked() ? checked : unchecked;
}

void qt_main_window::set_check_value(int value) {
    // A change raises the box's toggled, and with it the logic's change reaction.
    controls_.dhcp_chk->setChecked(value == checked);
}

void qt_main_window::set_focus(control_ref c) {
    guard_->move_focus(control_widget(c));
}

// The current entry keeps its place and the edit text stays as it was (Qt would show the
// current entry after the change).
void qt_main_window::set_list_entries(const profile_list_entries& entries) {
    QComboBox* list = controls_.profile_list;
    const QString edit_text = list->currentText();
    const int place = list->currentIndex();
    controls_.profile_entries->show_entries(entries);
    const int count = list->count();
    list->setCurrentIndex(place < 0 ? (count > 0 ? 0 : -1) : std::min(place, count - 1));
    if (list->currentText() != edit_text) {
        list->setEditText(edit_text);
    }
}

int qt_main_window::list_index() const {
    // Typing in the edit text selects no entry.
    const QComboBox* list = controls_.profile_list;
    const int i = list->currentIndex();
    return i >= 0 && list->itemText(i) == list->currentText() ? i : -1;
}

void qt_main_window::set_list_visible(bool visible) {
    controls_.profile_list->setVisible(visible);
}

std::string qt_main_window::status_text() const {
    return controls_.status_text->text().toStdString();
}

void qt_main_window::set_status_text(const std::string& text) {
    controls_.status_text->setText(from_std(text));
}

void qt_main_window::set_caption(const std::string& caption) {
    setWindowTitle(from_std(caption));
}

void qt_main_window::set_topmost(bool topmost) {
    Qt::WindowFlags flags = windowFlags();
    if (flags.testFlag(Qt::WindowStaysOnTopHint) == topmost) {
        return;
    }
    flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
    QWindow* window = windowHandle();
    if (window == nullptr) {
        setWindowFlags(flags);  // not created yet: the flag applies when it is
        return;
    }
    // On the live window: setWindowFlags would hide it and lose its place and activation.
    overrideWindowFlags(flags);
    Qt::WindowFlags native = window->flags();
    native.setFlag(Qt::WindowStaysOnTopHint, topmost);
    window->setFlags(native);
}

std::uintptr_t qt_main_window::window_handle() const {
    return static_cast<std::uintptr_t>(winId());
}

void qt_main_window::show_about_dialog() {
    qt_about_dialog dialog(shell_, this);
    dialog.exec();
}

void qt_main_window::unload() {
    close();
}

void qt_main_window::setVisible(bool visible) {
    if (visible && !loaded_) {
        loaded_ = true;
        form_->form_load();
        if (unloaded_) {
            return;  // the load closed the window
        }
        if (focusWidget() == nullptr) {
            controls_.profile_list->setFocus(Qt::OtherFocusReason);
        }
    }
    QWidget::setVisible(visible);
    if (visible) {
        guard_->watch_window_handle();
    }
}

void qt_main_window::closeEvent(QCloseEvent* event) {
    // The unload is never cancelled; the program ends with the window.
    if (!unloaded_) {
        unloaded_ = true;
        form_->form_unload();
    }
    event->accept();
}

bool qt_main_window::focusNextPrevChild(bool next) {
    if (!guard_->may_tab(next)) {
        return true;  // the focus stays in the refused box
    }
    return QWidget::focusNextPrevChild(next);
}

}  // namespace norvane
