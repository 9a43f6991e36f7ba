#include "ui/win32/win32_ui_services.h"

#include "ui/win32/win32_look.h"

namespace norvane {

int win32_ui_services::message_box(const std::string& text, int style, const std::string& title) {
    const UINT type = static_cast<UINT>(style);
    return MessageBoxW(GetActiveWindow(), win32::widen(text).c_str(), win32::widen(title).c_str(),
                       type);
}

void win32_ui_services::beep() {
    MessageBeep(MB_OK);
}

void win32_ui_services::process_pending_events() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that ends on it
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

int win32_ui_services::run_message_loop() {
    MSG message;
    BOOL got = FALSE;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1) {
            return 1;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace norvane
