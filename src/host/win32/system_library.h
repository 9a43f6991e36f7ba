// Calls that some Windows versions lack, found when they are needed instead of imported, so
// that the program still loads on Windows NT 4.0, 98 and Me and says itself that it does not
// run there (the loader would otherwise stop it with the system's own "entry point not found"
// box). scripts/check-windows-imports.sh keeps the imports to what those systems provide.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

namespace norvane::host::win32 {

// What GetProcAddress found, as the function type the caller knows it by.
template <typename Function>
Function function_at(FARPROC address) {
    Function function = nullptr;
    static_assert(sizeof function == sizeof address);
    std::memcpy(&function, &address, sizeof function);
    return function;
}

// The address of `name` in `module`, a library the process has already loaded (kernel32.dll,
// comctl32.dll), or null where this Windows lacks the call.
template <typename Function>
Function loaded_entry(const char* module, const char* name) {
    const HMODULE handle = GetModuleHandleA(module);
    return function_at<Function>(handle != nullptr ? GetProcAddress(handle, name) : nullptr);
}

// A library of the system folder, loaded by its full path (never one of the same name from the
// program's folder or the current folder) for as long as the object lives.
class system_library {
  public:
    explicit system_library(const wchar_t* file) {
        wchar_t folder[MAX_PATH];
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            module_ = LoadLibraryW((std::wstring(folder, length) + L"\\" + file).c_str());
        }
    }
    ~system_library() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    system_library(const system_library&) = delete;
    system_library& operator=(const system_library&) = delete;

    // The address of `name`, or null when the library or the call is missing.
    template <typename Function>
    Function entry(const char* name) const {
        const FARPROC address = module_ != nullptr ? GetProcAddress(module_, name) : nullptr;
        return function_at<Function>(address);
    }

  private:
    HMODULE module_ = nullptr;
};

// ReplaceFileW (Windows 2000 and later) without the two reserved arguments; where the call is
// missing it fails with ERROR_CALL_NOT_IMPLEMENTED, and the caller moves the file instead.
inline BOOL replace_file(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags) {
    using replace_file_call = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID);
    const auto call = loaded_entry<replace_file_call>("kernel32.dll", "ReplaceFileW");
    if (call == nullptr) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    return call(replaced, replacement, backup, flags, nullptr, nullptr);
}

}  // namespace norvane::host::win32
