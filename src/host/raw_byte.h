// The private code points that carry, in a UTF-8 text, the bytes of a file that are not
// characters of its code page: U+10FE00 + byte (plane 16, never produced by a code page),
// F4 8F B8..BB 80..BF in UTF-8. Shared by every platform's code page 932 converter, so that
// the same bytes read as the same text everywhere.
#pragma once

#include <cstddef>
#include <string>

namespace norvane::host {

inline constexpr char32_t raw_byte_base = 0x10FE00;

inline void append_raw_byte(std::string& out, unsigned char byte) {
    const char32_t code_point = raw_byte_base + byte;
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
}

// The byte carried by the private code point at text[pos], if one starts there.
inline bool raw_byte_at(const std::string& text, std::size_t pos, unsigned char& byte) {
    if (pos + 4 > text.size()) {
        return false;
    }
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    if (at(0) != 0xF4 || at(1) != 0x8F || at(2) < 0xB8 || at(2) > 0xBB || (at(3) & 0xC0) != 0x80) {
        return false;
    }
    byte = static_cast<unsigned char>(((at(2) & 0x03) << 6) | (at(3) & 0x3F));
    return true;
}

// The bytes of a text: each private code point as the byte it carries, each run of text
// between them as encode_run(text, begin, end, out) appends it.
template <class EncodeRun>
std::string encode_keeping_raw_bytes(const std::string& utf8, EncodeRun&& encode_run) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        unsigned char byte = 0;
        if (raw_byte_at(utf8, pos, byte)) {
            out.push_back(static_cast<char>(byte));
            pos += 4;
            continue;
        }
        std::size_t end = pos + 1;
        while (end < utf8.size() && !raw_byte_at(utf8, end, byte)) {
            ++end;
        }
        encode_run(utf8, pos, end, out);
        pos = end;
    }
    return out;
}

}  // namespace norvane::host
