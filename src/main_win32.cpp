// The Windows program's entry: the Win32 view and the Windows side of the host layer, the
// start-up procedure and, when it opened the main window, the message loop until the window
// is closed.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <memory>

#include "common/program_state.h"
#include "host/platform.h"
#include "host/win32/system_library.h"
#include "startup/startup.h"
#include "ui/main_window/win32/win32_main_window.h"
#include "ui/win32/win32_ui_services.h"

// The narrow entry: the program takes no arguments, and the C runtime's wide start-up reads
// the command line with GetCommandLineW, which Windows 98 and Me carry only as a stub, before
// the version check could refuse there.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The shell may hand a target to a handler that needs COM.
    const HRESULT com = CoInitialize(nullptr);
    // The status bar and the tooltips. InitCommonControlsEx is looked up, not imported: the
    // common controls of a plain Windows NT 4.0 lack it, and the program must load there to
    // refuse to run; their InitCommonControls registers every class.
    using init_controls_call = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto init_controls = norvane::host::win32::loaded_entry<init_controls_call>(
        "comctl32.dll", "InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_BAR_CLASSES;
    if (init_controls == nullptr || !init_controls(&controls)) {
        InitCommonControls();
    }

    int exit_code = 0;
    {
        norvane::win32_ui_services ui;
        norvane::program_state state;
        state.network_settings = norvane::host::create_network_settings();
        state.waiter = norvane::host::create_waiter();
        const std::unique_ptr<norvane::host::shell> shell = norvane::host::create_shell();

        std::unique_ptr<norvane::win32_main_window> window;
        norvane::startup_services services;
        services.query_version = norvane::host::query_os_version;
        services.create_file_system = norvane::host::create_file_system;
        services.show_main_form = [&](norvane::program_state& loaded) {
            window = std::make_unique<norvane::win32_main_window>(ui, loaded, *shell);
            window->show();
        };
        norvane::Main(state, ui, services);

        // No window: start-up has told the user why the program cannot run.
        if (window != nullptr && window->is_open()) {
            exit_code = norvane::win32_ui_services::run_message_loop();
        }
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return exit_code;
}
