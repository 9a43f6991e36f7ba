// Message boxes, the beep and pending events with Qt.
#pragma once

#include <string>

#include "common/ui_services.h"

namespace norvane {

class qt_ui_services : public ui_services {
  public:
    // A modal box over the active window, with the icon and buttons of the style and the
    // button texts of a Japanese system. Closing the box counts as Cancel or No.
    int message_box(const std::string& text, int style, const std::string& title) override;
    void beep() override;
    void process_pending_events() override;
};

}  // namespace norvane
