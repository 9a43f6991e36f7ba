// Code page 932 through the C library's converter ("CP932", the platform's variant of
// Shift-JIS, including its vendor extensions).
#include "host/cp932.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/host.h"
#include "host/posix/cp932_posix.h"
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

// What the converter makes of one or two bytes, asked once for every byte and pair and kept:
// calling the converter for each line cost more than all the rest of loading profile.dat.
// Code page 932 has no state and no character longer than two bytes, so what a byte decodes
// to depends on it and the byte after it alone (the tests compare the two ways everywhere).
class decoding_table {
  public:
    decoding_table() {
        const converter dec("UTF-8", "CP932");
        for (unsigned byte = 0; byte < 256; ++byte) {
            const unsigned char in[1] = {static_cast<unsigned char>(byte)};
            int error = 0;
            // A byte that the converter finds cut off at the end starts a pair.
            if (!decode_all(dec, in, 1, single_[byte], error) && error == EINVAL) {
                lead_[byte] = static_cast<std::int16_t>(pairs_.size() / 256);
                pairs_.resize(pairs_.size() + 256);
                for (unsigned trail = 0; trail < 256; ++trail) {
                    const unsigned char pair[2] = {in[0], static_cast<unsigned char>(trail)};
                    entry& decoded = pairs_[pairs_.size() - 256 + trail];
                    decode_all(dec, pair, 2, decoded, error);  // length 0 when it does not decode
                }
            }
        }
    }

    // Appends the text of bytes to out, which has room for four bytes per byte; returns the end.
    char* decode(const std::string& bytes, char* out) const {
        const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
        const std::size_t size = bytes.size();
        std::size_t pos = 0;
        while (pos < size) {
            const unsigned char byte = in[pos];
            const entry* found = &single_[byte];
            std::size_t taken = 1;
            if (lead_[byte] >= 0 && pos + 1 < size) {
                const entry& pair =
                    pairs_[static_cast<std::size_t>(lead_[byte]) * 256 + in[pos + 1]];
                if (pair.length != 0) {
                    found = &pair;
                    taken = 2;
                }
            }
            if (found->length != 0) {
                std::memcpy(out, found->text, 4);
                out += found->length;
            } else {
                out = put_raw_byte(out, byte);  // kept as its private code point
            }
            pos += taken;
        }
        return out;
    }

  private:
    struct entry {
        char text[4] = {};
        std::uint8_t length = 0;  // 0: does not decode
    };

    // Decodes in[0, size) whole into decoded; returns whether it did, with the converter's
    // errno in error when not.
    static bool decode_all(const converter& dec, const unsigned char* in, std::size_t size,
                           entry& decoded, int& error) {
        decoded = {};
        error = EILSEQ;
        if (!dec.usable()) {
            return false;  // every byte kept as it is, as the converter's path does
        }
        iconv(dec.get(), nullptr, nullptr, nullptr, nullptr);
        char buffer[16];
        char* in_pos = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
        std::size_t in_left = size;
        char* out_pos = buffer;
        std::size_t out_left = sizeof buffer;
        if (iconv(dec.get(), &in_pos, &in_left, &out_pos, &out_left) == iconv_failed) {
            error = errno;
            return false;
        }
        const auto length = static_cast<std::size_t>(out_pos - buffer);
        if (in_left != 0 || length == 0 || length > sizeof decoded.text) {
            return false;
        }
        std::memcpy(decoded.text, buffer, length);
        decoded.length = static_cast<std::uint8_t>(length);
        return true;
    }

    std::array<entry, 256> single_{};
    std::array<std::int16_t, 256> lead_ = make_no_leads();
    std::vector<entry> pairs_;  // 256 entries for each lead byte, by its trail byte

    static std::array<std::int16_t, 256> make_no_leads() {
        std::array<std::int16_t, 256> none{};
        none.fill(-1);
        return none;
    }
};

const decoding_table& decoding() {
    static const decoding_table table;  // built on first use, once for all threads
    return table;
}

// A scratch buffer per thread for the decoded text, so that the result is allocated once at
// its own size.
std::string& scratch() {
    thread_local std::string buffer;
    return buffer;
}

}  // namespace

std::string from_cp932(const std::string& bytes) {
    if (all_ascii(bytes)) {
        return bytes;  // the code page's first half is ASCII
    }
    // A byte decodes to at most three bytes of UTF-8, a byte that does not to four.
    std::string& out = scratch();
    if (out.size() < bytes.size() * 4) {
        out.resize(bytes.size() * 4);
    }
    const char* end = decoding().decode(bytes, out.data());
    return std::string(out.data(), static_cast<std::size_t>(end - out.data()));
}

std::string from_cp932_by_converter(const std::string& bytes) {
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
