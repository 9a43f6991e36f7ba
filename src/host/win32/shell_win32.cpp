// The shell on Windows: a command script is handed to the Windows shell with ShellExecuteExW
// (verb "Open", hidden, owned by the calling window, SEE_MASK_NOCLOSEPROCESS), waited for
// without a time limit and its exit code read with GetExitCodeProcess; a web or mail address
// goes to the shell the same way, shown normally and not waited for.
#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>

#include "host/platform.h"
#include "host/win32/wide_text.h"

namespace norvane::host {
namespace {

// Starts target through the shell; the process handle, or nullptr (ok tells whether the
// shell took the target at all).
HANDLE shell_execute(const std::wstring& target, window_handle owner, int show, bool& ok) {
    SHELLEXECUTEINFOW info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = reinterpret_cast<HWND>(owner);
    info.lpVerb = L"Open";
    info.lpFile = target.c_str();
    info.lpParameters = nullptr;
    info.lpDirectory = nullptr;
    info.nShow = show;
    ok = ShellExecuteExW(&info) != FALSE;
    return ok ? info.hProcess : nullptr;
}

class win32_shell final : public shell {
  public:
    // The script stays held, sharing reading alone, until the interpreter has ended: it opens
    // the file by its name, for reading, and finds the program's own content there.
    script_run run_script(command_script& script, window_handle owner) override {
        script_run run;
        if (script.name().empty()) {
            return run;
        }
        bool started = false;
        const HANDLE process = shell_execute(win32::widen(script.name()), owner, SW_HIDE, started);
        if (!started) {
            return run;  // not_started
        }
        if (WaitForSingleObject(process, INFINITE) != WAIT_OBJECT_0) {
            if (process != nullptr) {
                CloseHandle(process);
            }
            run.result = script_run::status::wait_failed;
            return run;
        }
        DWORD exit_code = 0;
        if (!GetExitCodeProcess(process, &exit_code)) {
            exit_code = 0;
        }
        CloseHandle(process);
        run.result = script_run::status::finished;
        run.exit_status = static_cast<int>(exit_code);
        return run;
    }

    bool open_address(const std::string& target, window_handle owner) override {
        if (target.empty()) {
            return false;
        }
        bool opened = false;
        const HANDLE process = shell_execute(win32::widen(target), owner, SW_SHOWNORMAL, opened);
        if (process != nullptr) {
            CloseHandle(process);  // not waited for
        }
        return opened;
    }
};

}  // namespace

std::unique_ptr<shell> create_shell() {
    return std::make_unique<win32_shell>();
}

}  // namespace norvane::host
