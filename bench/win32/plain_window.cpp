// The floor for the Windows program's start-up: the main window built from the same form table
// with the same controls (every control, font, caption and tooltip), topmost and titled as the
// program's, with no logic and no profiles. (No control is subclassed, so no mouse message is
// relayed to the tooltips.)
#include <windows.h>

#include <commctrl.h>

#include "ui/main_window/win32/win32_main_window_layout.h"

namespace {

LRESULT CALLBACK plain_proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    InitCommonControls();
    const norvane::win32_main_window_fonts fonts;
    HWND window = norvane::create_main_window(plain_proc, nullptr);
    const auto controls = norvane::build_main_window(window, fonts);
    HWND tooltips = norvane::add_tooltips(window, controls);
    SetWindowTextW(window, L"Norvane for Windows2000");
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DestroyWindow(tooltips);
    return 0;
}
