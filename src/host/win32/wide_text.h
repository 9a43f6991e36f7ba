// Texts at the Windows calls of the host side: UTF-8 inside the program, UTF-16 at the wide
// calls, a code page's bytes in files.
#pragma once

#include <string>

namespace norvane::host::win32 {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& utf16);

// The bytes of a UTF-8 text in the given code page; throws host_error(75) for a text that
// would not read back as itself in that code page. Code page 932 goes through to_cp932.
std::string to_code_page(const std::string& utf8, unsigned code_page);
bool representable_in_code_page(const std::string& utf8, unsigned code_page);

}  // namespace norvane::host::win32
