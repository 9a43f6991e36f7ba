// The Windows program's entry: the Win32 view and the Windows side of the host layer, the
// start-up procedure and, when it opened the main window, the message loop until the window
// is closed.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <memory>
#include <string>

#include "cli/command_line.h"
#include "common/program_state.h"
#include "host/platform.h"
#include "host/win32/system_library.h"
#include "host/win32/wide_text.h"
#include "startup/startup.h"
#include "ui/main_window/win32/win32_main_window.h"
#include "ui/win32/win32_ui_services.h"

namespace {

// A text of the ANSI code page (the narrow command line) as UTF-8.
std::string utf8_from_ansi(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) {
        return "";
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return norvane::host::win32::narrow(wide);
}

int run_command(const norvane::command_line& command) {
    const std::unique_ptr<norvane::host::shell> shell = norvane::host::create_shell();
    const auto reader = norvane::host::create_network_settings();
    const auto waiter = norvane::host::create_waiter();
    const auto log = norvane::host::create_change_log();
    norvane::command_services services;
    services.query_version = norvane::host::query_os_version;
    services.create_file_system = norvane::host::create_file_system;
    services.shell = shell.get();
    services.reader = reader.get();
    services.waiter = waiter.get();
    services.log = log.get();
    services.windows_switches = true;
    const auto output = norvane::host::create_command_console();
    const int exit_status = norvane::run_command(command, services, *output);
    // Without a console, what was written goes into one message box.
    if (const std::string text = output->unwritten(); !text.empty()) {
        norvane::win32_ui_services ui;
        ui.message_box(
            text,
            exit_status == norvane::exit_done ? norvane::mb_information : norvane::mb_critical,
            exit_status == norvane::exit_done ? "Norvane" : norvane::error_title);
    }
    return exit_status;
}

}  // namespace

// The narrow entry: the C runtime's wide start-up reads the command line with GetCommandLineW,
// which Windows 98 and Me carry only as a stub, before the version check could refuse there.
// The arguments come from the narrow command line, in the ANSI code page.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_text, int) {
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

    const norvane::command_line command = norvane::parse_command_line(
        norvane::split_windows_command_line(
            utf8_from_ansi(command_text != nullptr ? command_text : "")),
        true);
    int exit_code = 0;
    if (command.what != norvane::command_line::action::window) {
        exit_code = run_command(command);
    } else {
        norvane::win32_ui_services ui;
        norvane::program_state state;
        state.network_settings = norvane::host::create_network_settings();
        state.waiter = norvane::host::create_waiter();
        state.change_log = norvane::host::create_change_log();
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
