// Standard output and error of a command on Windows: the handles the program was given (a
// redirection), else the console of the program that started it (AttachConsole, looked up:
// Windows 2000 lacks it), in the console's code page; else nothing is written and the caller
// is given the text to show another way.
#include <windows.h>

#include <memory>
#include <string>

#include "host/command_console.h"
#include "host/platform.h"
#include "host/win32/system_library.h"
#include "host/win32/wide_text.h"

namespace norvane::host {
namespace {

// A UTF-8 text in a code page, a character it lacks as the code page's default character.
std::string in_code_page(const std::string& utf8, UINT code_page) {
    const std::wstring wide = win32::widen(utf8);
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
// in the console's code page; else kept for the caller to show.
class windows_output final : public command_console {
  public:
    windows_output() {
        out_ = GetStdHandle(STD_OUTPUT_HANDLE);
        err_ = GetStdHandle(STD_ERROR_HANDLE);
        if (!usable(out_)) {
            using attach_call = BOOL(WINAPI*)(DWORD);
            const auto attach = win32::loaded_entry<attach_call>("kernel32.dll", "AttachConsole");
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

    std::string unwritten() const override {
        std::string text;
        for (const char c : boxed_) {
            text += c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
        return text;
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

}  // namespace

std::unique_ptr<command_console> create_command_console() {
    return std::make_unique<windows_output>();
}

}  // namespace norvane::host
