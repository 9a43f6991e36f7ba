// Linux decodes code page 932 through a table built from the C library's converter. It must
// give what the converter gives over the whole text, byte for byte, for every input: every
// byte alone, every pair of bytes, and texts mixing characters, lead bytes without a fitting
// trail byte, cut-off pairs and bytes that do not decode.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "host/cp932.h"
#include "host/posix/cp932_posix.h"

namespace norvane::host {
namespace {

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += digits[byte >> 4];
        out += digits[byte & 0x0F];
        out += ' ';
    }
    return out;
}

TEST(cp932_table, every_byte_and_every_pair_decode_as_the_converter_decodes_them) {
    int differences = 0;
    for (int first = 0; first < 256; ++first) {
        const std::string single(1, static_cast<char>(first));
        if (from_cp932(single) != from_cp932_by_converter(single)) {
            ADD_FAILURE() << hex(single);
            ++differences;
        }
        for (int second = 0; second < 256 && differences < 20; ++second) {
            const std::string pair{static_cast<char>(first), static_cast<char>(second)};
            if (from_cp932(pair) != from_cp932_by_converter(pair)) {
                ADD_FAILURE() << hex(pair) << "gives " << hex(from_cp932(pair)) << "not "
                              << hex(from_cp932_by_converter(pair));
                ++differences;
            }
        }
    }
    EXPECT_EQ(differences, 0);
}

// The cases a line of profile.dat can hold, side by side: a trail byte that is a lead byte
// itself, a lead byte at the end, and one before a line end or an ASCII byte.
TEST(cp932_table, texts_decode_as_the_converter_decodes_them) {
    const std::string rows[] = {
        "",
        "\x81",
        "\x81\x81\x81",
        "\x82\xA0\x82",
        "\x81\x40\x81\x0D\x0A",
        "abc\xFF\x80\xA0\xFD\xFE",
        "\x83v\x83\x8D\x83t\x83@\x83"
        "C\x83\x8B,\x83\x8D\x81[\x83J\x83\x8B,192.168.1.2,,0",
        "\xB1\xB2\xB3\x81\xB1",
        "\xE0\x40\xFC\xFC\xEF\x7F\xF0\x40\xFA\x5C\xED\x40\x87\x90",
    };
    for (const std::string& bytes : rows) {
        EXPECT_EQ(from_cp932(bytes), from_cp932_by_converter(bytes)) << hex(bytes);
    }
    // Random texts drawn from the bytes that matter: ASCII, the lead bytes' ranges, half-width
    // katakana, the gaps and bytes that never decode.
    const std::vector<unsigned char> pool = {0x00, 0x0D, 0x0A, 0x20, 0x2C, 0x30, 0x40, 0x5C, 0x7E,
                                             0x7F, 0x80, 0x81, 0x82, 0x85, 0x87, 0x88, 0x9F, 0xA0,
                                             0xA1, 0xB1, 0xDF, 0xE0, 0xEA, 0xEB, 0xED, 0xEE, 0xEF,
                                             0xF0, 0xF9, 0xFA, 0xFC, 0xFD, 0xFE, 0xFF};
    std::mt19937 random(932);
    std::uniform_int_distribution<int> length(1, 24);
    std::uniform_int_distribution<int> kind(0, 3);
    std::uniform_int_distribution<int> from_pool(0, static_cast<int>(pool.size()) - 1);
    std::uniform_int_distribution<int> any(0, 255);
    int differences = 0;
    for (int round = 0; round < 50000 && differences < 20; ++round) {
        std::string bytes;
        for (int n = length(random); n > 0; --n) {
            bytes += static_cast<char>(kind(random) == 0 ? any(random) : pool[from_pool(random)]);
        }
        if (from_cp932(bytes) != from_cp932_by_converter(bytes)) {
            ADD_FAILURE() << hex(bytes);
            ++differences;
        }
    }
    EXPECT_EQ(differences, 0);
}

}  // namespace
}  // namespace norvane::host
