// Code page 932 through Windows' own converter (MultiByteToWideChar and WideCharToMultiByte
// with code page 932), giving the same text for the same bytes as the Linux side: a file is
// cut into the characters of the code page (a lead byte 81-9F or E0-FC with the byte after
// it, else one byte), each decoded on its own, and what does not decode is kept as its
// private code point (host/raw_byte.h). The code page's duplicate characters (NEC and IBM
// extensions) decode to one character from either byte pair; nothing demands a round trip on
// reading.
#include <windows.h>

#include <string>

#include "host/cp932.h"
#include "host/host.h"
#include "host/raw_byte.h"
#include "host/win32/wide_text.h"

namespace norvane::host {
namespace {

constexpr unsigned cp932 = 932;
const char* const unwritable_text = "この文字はファイルに書き込めません。";

bool is_lead_byte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Single bytes that are no character of the code page on every platform, whatever Windows'
// table says of them: 0x80 (U+0080 on Windows), 0xA0 and 0xFD to 0xFF (private-use characters
// on some Windows versions).
bool is_foreign_single_byte(unsigned char byte) {
    return byte == 0x80 || byte == 0xA0 || byte >= 0xFD;
}

// The UTF-16 of one character of the code page, or "" when it does not decode.
std::wstring decode_unit(const char* bytes, int length) {
    wchar_t buffer[4];
    const int n = MultiByteToWideChar(cp932, MB_ERR_INVALID_CHARS, bytes, length, buffer, 4);
    if (n <= 0) {
        return {};
    }
    // A converter that does not know MB_ERR_INVALID_CHARS gives its default character.
    if (n == 1 && buffer[0] == L'?' && !(length == 1 && bytes[0] == '?')) {
        return {};
    }
    if (n == 1 && buffer[0] == L'\u30FB' && length == 2 &&
        !(static_cast<unsigned char>(bytes[0]) == 0x81 &&
          static_cast<unsigned char>(bytes[1]) == 0x45)) {
        return {};  // the katakana middle dot is the table's default character for 932
    }
    return std::wstring(buffer, static_cast<std::size_t>(n));
}

}  // namespace

std::string from_cp932(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    std::size_t pos = 0;
    std::wstring run;  // decoded characters not yet turned into UTF-8
    const auto flush = [&] {
        out += win32::narrow(run);
        run.clear();
    };
    while (pos < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[pos]);
        if (byte < 0x80) {
            run.push_back(static_cast<wchar_t>(byte));
            ++pos;
            continue;
        }
        std::wstring decoded;
        int length = 1;
        if (is_lead_byte(byte) && pos + 1 < bytes.size()) {
            length = 2;
            decoded = decode_unit(bytes.data() + pos, 2);
        } else if (!is_lead_byte(byte) && !is_foreign_single_byte(byte)) {
            decoded = decode_unit(bytes.data() + pos, 1);
        }
        if (decoded.empty()) {
            // Not a character: keep the first byte and go on with the next one.
            flush();
            append_raw_byte(out, byte);
            ++pos;
            continue;
        }
        run += decoded;
        pos += static_cast<std::size_t>(length);
    }
    flush();
    return out;
}

std::string to_cp932(const std::string& utf8) {
    const auto encode_run = [](const std::string& text, std::size_t begin, std::size_t end,
                               std::string& out) {
        const std::wstring wide = win32::widen(text.substr(begin, end - begin));
        if (wide.empty()) {
            return;
        }
        BOOL used_default = FALSE;
        const int size = static_cast<int>(wide.size());
        const int n =
            WideCharToMultiByte(cp932, 0, wide.data(), size, nullptr, 0, nullptr, &used_default);
        std::string bytes(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
        if (n <= 0 || used_default ||
            WideCharToMultiByte(cp932, 0, wide.data(), size, bytes.data(), n, nullptr,
                                &used_default) != n ||
            used_default) {
            throw host_error(path_file_access_error, unwritable_text);
        }
        out += bytes;
    };
    const std::string out = encode_keeping_raw_bytes(utf8, encode_run);
    // Some characters are written with the code of another one, and raw bytes next to each
    // other or to text can form a character of their own. Only a text that reads back exactly
    // as given is written.
    if (from_cp932(out) != utf8) {
        throw host_error(path_file_access_error, unwritable_text);
    }
    return out;
}

bool representable_in_cp932(const std::string& utf8) {
    try {
        to_cp932(utf8);
        return true;
    } catch (const host_error&) {
        return false;
    }
}

namespace win32 {

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), n);
    }
    return out;
}

std::string narrow(const std::wstring& utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf16.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), n, nullptr, nullptr);
    }
    return out;
}

std::string to_code_page(const std::string& utf8, unsigned code_page) {
    if (code_page == cp932) {
        return to_cp932(utf8);
    }
    const std::wstring wide = widen(utf8);
    if (wide.empty()) {
        if (!utf8.empty()) {
            throw host_error(path_file_access_error, unwritable_text);
        }
        return {};
    }
    const int size = static_cast<int>(wide.size());
    BOOL used_default = FALSE;
    const int n = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr,
                                      0, nullptr, &used_default);
    std::string bytes(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n <= 0 || used_default ||
        WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), size, bytes.data(), n,
                            nullptr, &used_default) != n ||
        used_default) {
        throw host_error(path_file_access_error, unwritable_text);
    }
    // Read back in the same code page: only a text that comes back as itself is written.
    const int back = MultiByteToWideChar(code_page, 0, bytes.data(), n, nullptr, 0);
    std::wstring again(static_cast<std::size_t>(back > 0 ? back : 0), L'\0');
    if (back > 0) {
        MultiByteToWideChar(code_page, 0, bytes.data(), n, again.data(), back);
    }
    if (again != wide) {
        throw host_error(path_file_access_error, unwritable_text);
    }
    return bytes;
}

bool representable_in_code_page(const std::string& utf8, unsigned code_page) {
    try {
        to_code_page(utf8, code_page);
        return true;
    } catch (const host_error&) {
        return false;
    }
}

}  // namespace win32
}  // namespace norvane::host
