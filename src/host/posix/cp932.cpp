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

// Encodes text[begin, end), which holds no private code point, and appends the bytes.
void encode_run(const std::string& text, std::size_t begin, std::size_t end, std::string& out) {
    converter& enc = encoder();
    if (!enc.usable()) {
        throw host_error(cannot_create_component);
    }
    iconv(enc.get(), nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(text.data() + begin);
    std::size_t in_left = end - begin;
    char buffer[1024];
    for (;;) {
        char* out_pos = buffer;
        std::size_t out_left = sizeof buffer;
        const std::size_t result = in_left == 0
                                       ? iconv(enc.get(), nullptr, nullptr, &out_pos, &out_left)
                                       : iconv(enc.get(), &in, &in_left, &out_pos, &out_left);
        const int err = errno;
        out.append(buffer, static_cast<std::size_t>(out_pos - buffer));
        if (result == iconv_failed && err != E2BIG) {
            throw host_error(path_file_access_error, unwritable_text);
        }
        if (result != iconv_failed && in_left == 0 && out_pos == buffer) {
            return;
        }
    }
}

}  // namespace

std::string from_cp932(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    converter& dec = decoder();
    std::size_t pos = 0;
    char buffer[1024];
    while (pos < bytes.size()) {
        if (!dec.usable()) {
            append_raw_byte(out, static_cast<unsigned char>(bytes[pos++]));
            continue;
        }
        iconv(dec.get(), nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(bytes.data() + pos);
        std::size_t in_left = bytes.size() - pos;
        char* out_pos = buffer;
        std::size_t out_left = sizeof buffer;
        const std::size_t result = iconv(dec.get(), &in, &in_left, &out_pos, &out_left);
        const int err = errno;
        out.append(buffer, static_cast<std::size_t>(out_pos - buffer));
        pos = bytes.size() - in_left;
        // An invalid or cut-off sequence: keep its first byte and go on with the next one.
        if (result == iconv_failed && err != E2BIG) {
            append_raw_byte(out, static_cast<unsigned char>(bytes[pos++]));
        }
    }
    return out;
}

std::string to_cp932(const std::string& utf8) {
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
