// Message boxes, the beep and pending window events on Windows, and the program's message
// loop.
#pragma once

#include <windows.h>

#include <string>

#include "common/ui_services.h"

namespace norvane {

class win32_ui_services : public ui_services {
  public:
    // MessageBoxW with the style as the program gives it (icon plus buttons: the numbers are
    // Windows' own), owned by the thread's active window.
    int message_box(const std::string& text, int style, const std::string& title) override;
    // MessageBeep.
    void beep() override;
    void process_pending_events() override;

    // Runs the thread's message loop until the main window has posted its quit; the exit code.
    static int run_message_loop();
};

}  // namespace norvane
