// Code page 932, the encoding of the program's files on disk. Texts in memory are UTF-8.
//
// A byte that is not valid code page 932 is carried in memory as the private code point
// U+10FE00 + byte (plane 16, never produced by the code page itself) and written back as
// that same byte, so a file read and written again keeps every byte it had. The single bytes
// 0x80, 0xA0 and 0xFD to 0xFF are such bytes on every platform (Windows' own converter gives
// 0x80 as U+0080 and, on some versions, the others as private-use characters; glibc's calls
// them invalid): the same bytes read as the same text on Linux and on Windows.
#pragma once

#include <string>

namespace norvane::host {

// The code page 932 bytes of a UTF-8 text. A text holding a character that would not read
// back as itself throws host_error(75, "この文字はファイルに書き込めません。").
std::string to_cp932(const std::string& utf8);

// The UTF-8 text of code page 932 bytes. Never throws: a byte it cannot decode becomes its
// private code point.
std::string from_cp932(const std::string& bytes);

// True when to_cp932 accepts the text.
bool representable_in_cp932(const std::string& utf8);

}  // namespace norvane::host
