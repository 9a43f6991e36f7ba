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

// A UTF-8 text in a code page, a character it lacks as the code page's default character.
std::string in_code_page(const std::string& utf8, UINT code_page) {
    const std::wstring wide = norvane::host::win32::widen(utf8);
    if (wide.empty()) {
        return "";
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(code_page, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(code_page, 0, wide.data(), size, bytes.data(), length, nullptr,
                            nullptr);
    }
    return bytes;
}

bool usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// Where a command's text goes: the handles the program was given (a redirection), else the
// console of the program that started it (AttachConsole, looked up: Windows 2000 lacks it),
// in the console's code page; else one message box at the end.
class windows_output : public norvane::command_output {
  public:
    windows_output() {
        out_ = GetStdHandle(STD_OUTPUT_HANDLE);
        err_ = GetStdHandle(STD_ERROR_HANDLE);
        if (!usable(out_)) {
            using attach_call = BOOL(WINAPI*)(DWORD);
            const auto attach =
                norvane::host::win32::loaded_entry<attach_call>("kernel32.dll", "AttachConsole");
            constexpr DWORD attach_parent_process = static_cast<DWORD>(-1);
            if (attach != nullptr && attach(attach_parent_process)) {
                console_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       0, nullptr);
                out_ = console_;
                err_ = console_;
            }
        }
        if (!usable(err_)) {
            err_ = out_;
        }
        const UINT console_page = GetConsoleOutputCP();
        code_page_ = console_page != 0 ? console_page : GetACP();
    }
    ~windows_output() override {
        if (usable(console_)) {
            CloseHandle(console_);
        }
    }
    windows_output(const windows_output&) = delete;
    windows_output& operator=(const windows_output&) = delete;

    void out(const std::string& text) override { write(out_, text); }
    void err(const std::string& text) override { write(err_, text); }

    // Without a console, what was written goes into one message box.
    void finish(norvane::ui_services& ui, int exit_status) {
        if (!boxed_.empty()) {
            std::string text;
            for (const char c : boxed_) {
                text += c == '\n' ? std::string("\r\n") : std::string(1, c);
            }
            ui.message_box(
                text,
                exit_status == norvane::exit_done ? norvane::mb_information : norvane::mb_critical,
                exit_status == norvane::exit_done ? "Norvane" : norvane::error_title);
        }
    }

  private:
    void write(HANDLE handle, const std::string& text) {
        if (!usable(handle)) {
            boxed_ += text;
            return;
        }
        std::string bytes;
        for (const char c : text) {
            bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
        bytes = in_code_page(bytes, code_page_);
        DWORD written = 0;
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

    HANDLE out_ = nullptr;
    HANDLE err_ = nullptr;
    HANDLE console_ = INVALID_HANDLE_VALUE;
    UINT code_page_ = CP_ACP;
    std::string boxed_;
};

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
    windows_output output;
    const int exit_status = norvane::run_command(command, services, output);
    norvane::win32_ui_services ui;
    output.finish(ui, exit_status);
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
