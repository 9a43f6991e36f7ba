// The Windows file component with the replacement call it is given: ReplaceFileW as kernel32
// has it, or none (Windows NT 4.0 and 98 lack it), where MoveFileExW alone replaces a file.
#pragma once

#include <windows.h>

#include <memory>

#include "host/host.h"

namespace norvane::host {

using replace_file_call = BOOL(WINAPI*)(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup,
                                        DWORD flags, LPVOID exclude, LPVOID reserved);

std::unique_ptr<file_system> create_file_system(replace_file_call replace_file);

}  // namespace norvane::host
