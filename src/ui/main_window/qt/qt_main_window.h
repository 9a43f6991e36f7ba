// The main window with Qt widgets. It builds the controls, hands every event the window's
// logic reacts to over to main_form, and carries out what the logic asks through main_view.
// Qt has no validate-before-leaving event; the window emulates it: before the focus leaves an
// octet box by Tab, by a click on another control or by a program focus move, the box is
// validated, and a refused value keeps the focus where it is.
#pragma once

#include <QHash>
#include <QWidget>
#include <array>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>

#include "common/program_state.h"
#include "common/ui_services.h"
#include "host/host.h"
#include "ui/main_window/main_form.h"
#include "ui/main_window/main_view.h"

class QCheckBox;
class QComboBox;
class QInputMethodEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QPushButton;
class QStatusBar;

namespace norvane {

class qt_main_window : public QWidget, public main_view {
    Q_OBJECT

  public:
    qt_main_window(ui_services& ui, program_state& state, host::shell& shell,
                   QWidget* parent = nullptr);
    ~qt_main_window() override;

    main_form& form() { return *form_; }
    // The widget of a control (nullptr for an index out of range). Widgets carry the control
    // names as object names; members of the address arrays are named like "ip_add_txt_2".
    QWidget* control_widget(control_ref c) const;

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
    // Hides or shows the whole profile_list control.
    void set_list_visible(bool visible) override;
    std::string status_text() const override;
    void set_status_text(const std::string& text) override;
    void set_caption(const std::string& caption) override;
    void set_topmost(bool topmost) override;
    std::uintptr_t window_handle() const override;
    void show_about_dialog() override;
    void unload() override;

    // The first show loads the window (the logic's form_load) before it becomes visible.
    void setVisible(bool visible) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

  private:
    void build_controls();
    void connect_controls();
    void register_control(QWidget* widget, control_ref ref);
    // The control of a widget, or of its nearest registered ancestor within the window.
    const control_ref* control_of(const QObject* object) const;
    QLineEdit* line_edit(control_ref c) const;
    void restore_edit_text(const QString& edit_text);

    bool window_mouse_event(QMouseEvent* event);
    bool key_press(QWidget* widget, control_ref ref, QKeyEvent* event);
    void key_release(control_ref ref, const QKeyEvent* event);
    bool input_method(QWidget* widget, control_ref ref, const QInputMethodEvent* event);
    void focus_in(QWidget* widget);
    void focus_out(QWidget* widget, Qt::FocusReason reason);
    // The window's key preview and an octet box's own filter; 0 discards the character.
    int filter_character(control_ref ref, int code);
    void resend(QWidget* widget, QEvent* event);

    // Validates the octet box that has the focus when the focus is about to move to target;
    // false when the box refuses to let it go.
    bool may_leave_focus_for(QWidget* target);
    QWidget* tab_target(QWidget* from, bool next) const;
    QWidget* click_focus_target(QWidget* hit) const;

    host::shell& shell_;
    std::unique_ptr<main_form> form_;

    QComboBox* profile_list_ = nullptr;
    QLineEdit* connect_txt_ = nullptr;
    std::array<std::array<QLineEdit*, boxes_per_field>, std::size(address_fields)> address_boxes_{};
    QCheckBox* dhcp_chk_ = nullptr;
    QPushButton* save_bt_ = nullptr;
    QPushButton* delete_bt_ = nullptr;
    QPushButton* submit_bt_ = nullptr;
    QPushButton* new_bt_ = nullptr;
    QPushButton* ver_bt_ = nullptr;
    QPushButton* end_bt_ = nullptr;
    QStatusBar* status_bar_ = nullptr;
    QLabel* status_label_ = nullptr;

    QHash<const QObject*, control_ref> controls_;
    // The control the logic was last told has the focus; focus changes that only follow the
    // window's activation (a message box or a dialog coming and going) leave it alone.
    QWidget* logical_focus_ = nullptr;
    bool loaded_ = false;
    bool unloaded_ = false;
    bool resending_ = false;
    bool swallow_release_ = false;
};

}  // namespace norvane
