// Code page 932 through the C library's converter ("CP932", the platform's variant of
// Shift-JIS, including its vendor extensions).
#include "host/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "host/host.h"
#include "host/raw_byte.h"

namespace norvane::host {
namespace {

const char* const unwritable_text = "この文字はファイルに書き込めません。";

// One conversion descriptor per direction and thread, opened on first use.
class converter {
  public:
    converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~converter() {
        if (usable()) {
            iconv_close(cd_);
        }
    }
    converter(const converter&) = delete;
    converter& operator=(const converter&) = delete;

    bool usable() const { return cd_ != failed(); }
    iconv_t get() const { return cd_; }

  private:
    static iconv_t failed() { return reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1)); }
    iconv_t cd_;
};

converter& decoder() {
    thread_local converter instance("UTF-8", "CP932");
    return instance;
}

converter& encoder() {
    thread_local converter instance("CP932", "UTF-8");
    return instance;
}

constexpr std::size_t iconv_failed = static_cast<std::size_t>(-1);

// Writes the private code point of a byte that does not decode; returns the end.
char* put_raw_byte(char* out, unsigned char byte) {
    const char32_t code_point = raw_byte_base + byte;
    *out++ = static_cast<char>(0xF0 | (code_point >> 18));
    *out++ = static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
    return out;
}

bool all_ascii(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// Encodes text[begin, end), which holds no private code point, and appends the bytes. One
// call of the converter for the whole run: its set-up per call is what costs.
void encode_run(const std::string& text, std::size_t begin, std::size_t end, std::string& out) {
    converter& enc = encoder();
    if (!enc.usable()) {
        throw host_error(cannot_create_component);
    }
    iconv(enc.get(), nullptr, nullptr, nullptr, nullptr);
    const std::size_t old_size = out.size();
    out.resize(old_size + (end - begin) + 8);  // code page 932 never needs more bytes
    char* in = const_cast<char*>(text.data() + begin);
    std::size_t in_left = end - begin;
    char* out_pos = out.data() + old_size;
    std::size_t out_left = out.size() - old_size;
    const std::size_t result = iconv(enc.get(), &in, &in_left, &out_pos, &out_left);
    const bool done = result != iconv_failed &&
                      iconv(enc.get(), nullptr, nullptr, &out_pos, &out_left) != iconv_failed;
    out.resize(static_cast<std::size_t>(out_pos - out.data()));
    if (!done || in_left != 0) {
        throw host_error(path_file_access_error, unwritable_text);
    }
}

}  // namespace

std::string from_cp932(const std::string& bytes) {
    if (all_ascii(bytes)) {
        return bytes;  // the code page's first half is ASCII
    }
    // A byte decodes to at most three bytes of UTF-8, a byte that does not to four.
    std::string out(bytes.size() * 4, '\0');
    char* out_pos = out.data();
    std::size_t out_left = out.size();
    converter& dec = decoder();
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (dec.usable()) {
            iconv(dec.get(), nullptr, nullptr, nullptr, nullptr);
            char* in = const_cast<char*>(bytes.data() + pos);
            std::size_t in_left = bytes.size() - pos;
            const std::size_t result = iconv(dec.get(), &in, &in_left, &out_pos, &out_left);
            pos = bytes.size() - in_left;
            if (result != iconv_failed || pos >= bytes.size()) {
                continue;
            }
        }
        // An invalid or cut-off sequence: keep its first byte and go on with the next one.
        out_pos = put_raw_byte(out_pos, static_cast<unsigned char>(bytes[pos++]));
        out_left = out.size() - static_cast<std::size_t>(out_pos - out.data());
    }
    out.resize(static_cast<std::size_t>(out_pos - out.data()));
    return out;
}

std::string to_cp932(const std::string& utf8) {
    const std::string out = encode_keeping_raw_bytes(utf8, encode_run);
    // Some characters are written with the code of another one (¥ as \, 〜 as ～), and raw
    // bytes next to each other or to text can form a character of their own. Only a text that
    // reads back exactly as given is written.
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

}  // namespace norvane::host
