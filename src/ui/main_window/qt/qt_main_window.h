// The main window with Qt widgets: the adapter between main_view and the widgets. It builds
// the controls (qt_main_window_layout), hands their clicks and changes to main_form, lets the
// focus guard (qt_focus_guard) hand over their focus, mouse and key events, and carries out
// what the logic asks through main_view.
#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "common/program_state.h"
#include "common/ui_services.h"
#include "host/host.h"
#include "ui/main_window/main_form.h"
#include "ui/main_window/main_view.h"
#include "ui/main_window/qt/qt_main_window_layout.h"

class QLineEdit;

namespace norvane {

class qt_focus_guard;

class qt_main_window : public QWidget, public main_view {
    Q_OBJECT

  public:
    qt_main_window(ui_services& ui, program_state& state, host::shell& shell,
                   QWidget* parent = nullptr);
    ~qt_main_window() override;

    main_form& form() { return *form_; }
    // The widget of a control (nullptr for an index out of range). Widgets carry the control
    // names as object names; members of the address arrays are named like "ip_add_txt_2".
    QWidget* control_widget(control_ref c) const { return controls_.widget(c); }

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
    void closeEvent(QCloseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

  private:
    void connect_controls();
    QLineEdit* line_edit(control_ref c) const;

    host::shell& shell_;
    main_window_controls controls_;
    std::unique_ptr<main_form> form_;
    // Destroyed before the logic it reports to; its filters go with it.
    std::unique_ptr<qt_focus_guard> guard_;
    bool loaded_ = false;
    bool unloaded_ = false;
};

}  // namespace norvane
