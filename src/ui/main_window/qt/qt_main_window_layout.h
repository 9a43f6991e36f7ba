// The main window's widgets: their names, texts, tooltips, fonts, places and tab order.
#pragma once

#include <array>
#include <iterator>
#include <utility>
#include <vector>

#include "ui/main_window/main_view.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QWidget;

namespace norvane {

class qt_profile_list_model;

// The widgets of the main window's controls. Widgets carry the control names as object names;
// members of the address arrays are named like "ip_add_txt_2".
struct main_window_controls {
    QComboBox* profile_list = nullptr;
    qt_profile_list_model* profile_entries = nullptr;  // the list's model, empty at first
    QLineEdit* connect_txt = nullptr;
    std::array<std::array<QLineEdit*, boxes_per_field>, std::size(address_fields)> address_boxes{};
    QCheckBox* dhcp_chk = nullptr;
    QPushButton* save_bt = nullptr;
    QPushButton* delete_bt = nullptr;
    QPushButton* submit_bt = nullptr;
    QPushButton* new_bt = nullptr;
    QPushButton* ver_bt = nullptr;
    QPushButton* end_bt = nullptr;
    QStatusBar* status_bar = nullptr;
    QLabel* status_text = nullptr;

    // The widget of a control (nullptr for an index out of range).
    QWidget* widget(control_ref c) const;
    // Every control with its widget.
    std::vector<std::pair<QWidget*, control_ref>> all() const;
};

// Gives the window its fixed client size, font and icon, centres it on the screen, and builds
// its controls in their places, with the focus chain in the tab order.
main_window_controls build_main_window(QWidget& window);

}  // namespace norvane
