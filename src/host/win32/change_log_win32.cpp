// The Windows side of the change log: Norvane\changes.log in the user's application data
// folder (%APPDATA%, or where the shell says it is), UTF-8 with a byte-order mark so that
// Notepad reads it, CR LF line ends. The file is opened sharing only reading, so two copies
// write one record at a time; a full log is moved to the one older log.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <memory>

#include "host/platform.h"
#include "host/win32/system_library.h"
#include "host/win32/wide_text.h"

namespace norvane::host {

namespace {

constexpr int csidl_appdata = 0x001A;
constexpr char byte_order_mark[] = "\xEF\xBB\xBF";

// The user's application data folder: %APPDATA%, which Windows 2000 sets for each user, or the
// shell's answer (SHGetSpecialFolderPathW, looked up: a plain Windows NT 4.0 shell lacks it).
std::wstring application_data_folder() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"APPDATA", buffer, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        return std::wstring(buffer, length);
    }
    using folder_call = BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL);
    const win32::system_library shell32(L"shell32.dll");
    const auto get_folder = shell32.entry<folder_call>("SHGetSpecialFolderPathW");
    if (get_folder != nullptr && get_folder(nullptr, buffer, csidl_appdata, TRUE)) {
        return buffer;
    }
    return L"";
}

class handle_owner {
  public:
    explicit handle_owner(HANDLE handle) : handle_(handle) {}
    ~handle_owner() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    handle_owner(const handle_owner&) = delete;
    handle_owner& operator=(const handle_owner&) = delete;
    HANDLE get() const { return handle_; }
    HANDLE release() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }

  private:
    HANDLE handle_;
};

class change_log_win32 : public change_log {
  public:
    std::string local_time() override {
        SYSTEMTIME now;
        GetLocalTime(&now);
        char text[32];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth,
                      now.wDay, now.wHour, now.wMinute, now.wSecond);
        return text;
    }

    std::string location() override {
        const std::wstring folder = application_data_folder();
        return folder.empty() ? "" : win32::narrow(folder + L"\\Norvane\\") + change_log_file_name;
    }

    void append(const std::string& record) override {
        const std::wstring base = application_data_folder();
        if (base.empty()) {
            throw host_error(path_file_access_error);
        }
        const std::wstring folder = base + L"\\Norvane";
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            throw host_error(path_file_access_error);
        }
        const std::wstring name = folder + L"\\" + win32::widen(change_log_file_name);
        const std::wstring older = folder + L"\\" + win32::widen(older_change_log_file_name);
        std::string text;
        for (const char c : record) {
            if (c == '\n') {
                text += "\r\n";
            } else {
                text.push_back(c);
            }
        }
        bool moved_aside = false;
        for (;;) {
            handle_owner log(open_log(name));
            const DWORD size = GetFileSize(log.get(), nullptr);
            if (size == INVALID_FILE_SIZE) {
                throw host_error(path_file_access_error);
            }
            if (moved_aside || size == 0 ||
                static_cast<std::uint64_t>(size) + text.size() <= change_log_limit) {
                write_at_end(log.get(), size == 0 ? byte_order_mark + text : text, size);
                return;
            }
            moved_aside = true;
            if (!CloseHandle(log.release()) ||
                !MoveFileExW(name.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING)) {
                throw host_error(path_file_access_error);
            }
        }
    }

  private:
    // The log opened for writing, shared with readers only; another copy's record is waited
    // for about a second.
    static HANDLE open_log(const std::wstring& name) {
        for (int tries = 0;; ++tries) {
            const HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle != INVALID_HANDLE_VALUE) {
                return handle;
            }
            if (GetLastError() != ERROR_SHARING_VIOLATION || tries >= 50) {
                throw host_error(path_file_access_error);
            }
            Sleep(20);
        }
    }

    // The whole text at the end, or the log cut back to its old end.
    static void write_at_end(HANDLE log, const std::string& text, DWORD old_size) {
        if (SetFilePointer(log, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
            throw host_error(path_file_access_error);
        }
        DWORD written = 0;
        if (!WriteFile(log, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size()) {
            const DWORD error = GetLastError();
            SetFilePointer(log, static_cast<LONG>(old_size), nullptr, FILE_BEGIN);
            SetEndOfFile(log);
            throw host_error(error == ERROR_DISK_FULL ? disk_full : path_file_access_error);
        }
    }
};

}  // namespace

std::unique_ptr<change_log> create_change_log() {
    return std::make_unique<change_log_win32>();
}

}  // namespace norvane::host
