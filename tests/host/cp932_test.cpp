#include "host/cp932.h"

#include <gtest/gtest.h>

#include <string>

#include "host/host.h"

namespace norvane::host {
namespace {

struct encoding_case {
    const char* text;
    const char* bytes;
};

class cp932_known_test : public ::testing::TestWithParam<encoding_case> {};

TEST_P(cp932_known_test, encodes_and_decodes_as_the_platform_does) {
    EXPECT_EQ(to_cp932(GetParam().text), GetParam().bytes);
    EXPECT_EQ(from_cp932(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    texts, cp932_known_test,
    ::testing::Values(
        encoding_case{
            "ローカル エリア接続",
            "\x83\x8D\x81\x5B\x83\x4A\x83\x8B\x20\x83\x47\x83\x8A\x83\x41\x90\xDA\x91\xB1"},
        // Second bytes equal to the backslash.
        encoding_case{"表ソ\\", "\x95\x5C\x83\x5C\x5C"}, encoding_case{"ｱ～", "\xB1\x81\x60"},
        encoding_case{"192.168.0.1,255.255.255.0", "192.168.0.1,255.255.255.0"}));

class cp932_raw_bytes_test : public ::testing::TestWithParam<const char*> {};

TEST_P(cp932_raw_bytes_test, keeps_every_undecodable_byte) {
    const std::string bytes = GetParam();
    const std::string text = from_cp932(bytes);
    EXPECT_TRUE(representable_in_cp932(text));
    EXPECT_EQ(to_cp932(text), bytes);
}

INSTANTIATE_TEST_SUITE_P(bytes, cp932_raw_bytes_test,
                         ::testing::Values("\x81", "\x81\x0D", "abc\xFF\xFE\x80",
                                           "\x82\x20\x95\x5C", "\xA0\xFD\xFC",
                                           "\xEF\xBB\xBF\x83\x41"));

TEST(cp932, carries_a_bad_byte_as_its_private_code_point) {
    EXPECT_EQ(from_cp932("a\xFF"), "a\xF4\x8F\xBB\xBF");      // U+10FEFF
    EXPECT_EQ(from_cp932("\x81\x0A"), "\xF4\x8F\xBA\x81\n");  // U+10FE81, then the line end
}

class cp932_refused_test : public ::testing::TestWithParam<const char*> {};

TEST_P(cp932_refused_test, refuses_what_would_not_read_back) {
    EXPECT_FALSE(representable_in_cp932(GetParam()));
    try {
        to_cp932(GetParam());
        FAIL() << "written";
    } catch (const host_error& error) {
        EXPECT_EQ(error.number(), 75);
        EXPECT_EQ(error.description(), "この文字はファイルに書き込めません。");
    }
}

INSTANTIATE_TEST_SUITE_P(
    texts, cp932_refused_test,
    ::testing::Values("雪☃", "\xF0\x9F\x98\x80",  // not in the code page
                      "〜", "¥",                  // written as ～ and as the backslash
                      "\xF4\x8F\xB9\x81",         // a private code point for an ASCII byte
                      "\xF4\x8F\xBA\x81@",        // 81 then @ reads back as one character
                      "\xFF"));                   // not UTF-8

}  // namespace
}  // namespace norvane::host
