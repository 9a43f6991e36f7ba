// The file component as every platform side gives it: the same bytes on disk for the same
// texts, the same line ends, whole-file rewrites, the same failures and their numbers, and
// other writers kept out while a stream is open. Built and run on Linux and, cross-built,
// under Wine against the Windows side.
#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/cp932.h"
#include "host/host.h"
#include "host/platform.h"
#include "support/file_checks.h"
#include "support/temp_dir.h"

namespace norvane::host {
namespace {

namespace fs = std::filesystem;
using lines = std::vector<std::string>;
using testing::read_bytes;
using testing::write_bytes;

using testing::entries;
using testing::error_of;

// Each test runs in a fresh temporary directory that is the current directory.
class text_files : public ::testing::Test {
  protected:
    testing::temp_dir dir_;
    std::unique_ptr<file_system> files_ = create_file_system();
};

// Lines end at CR LF, LF or CR, and the last needs none. Written back, each ends in CR LF, in
// code page 932 with every byte that did not decode kept; one read past the end fails with 62.
TEST_F(text_files, reads_any_line_end_and_writes_code_page_932_with_crlf) {
    const std::string lan =
        "\x83\x8D\x81\x5B\x83\x4A\x83\x8B\x20\x83\x47\x83\x8A\x83\x41\x90\xDA\x91\xB1";
    // 表, ソ and the backslash all hold the byte 0x5C.
    const std::string text = lan + "\r\n\x95\x5C\r\n\x83\x5C\\\xB1\x81\x60";
    const std::string raw = "\x81\r\n\xFF\xFE abc\x80\r\n\x82 \x95\x5C\r\n\xA0\xFD\xFC\r\n";
    const std::tuple<std::string, lines, std::string> rows[] = {
        {"", {}, ""},
        {"a\nb\rc\r\n\r\nd", {"a", "b", "c", "", "d"}, "a\r\nb\r\nc\r\n\r\nd\r\n"},
        {"\r\n\n\r\r", {"", "", "", ""}, "\r\n\r\n\r\n\r\n"},
        {text, {"ローカル エリア接続", "表", "ソ\\ｱ～"}, text + "\r\n"},
        {raw + "\xEF\xBB\xBF\x83\x41\x81\n\x81",
         {from_cp932("\x81"), from_cp932("\xFF\xFE abc\x80"), from_cp932("\x82 \x95\x5C"),
          from_cp932("\xA0\xFD\xFC"), from_cp932("\xEF\xBB\xBF\x83\x41\x81"), from_cp932("\x81")},
         raw + "\xEF\xBB\xBF\x83\x41\x81\r\n\x81\r\n"},
    };
    for (const auto& [content, expected, written] : rows) {
        write_bytes("profile.dat", content);
        auto reading = files_->open_text_file("profile.dat", for_reading);
        lines read;
        while (!reading->at_end_of_stream()) {
            read.push_back(reading->read_line());
        }
        EXPECT_EQ(error_of([&] { reading->read_line(); }), 62);
        reading.reset();
        EXPECT_EQ(read, expected) << content;
        auto writing = files_->open_text_file("profile.dat", for_writing);
        for (const std::string& line : read) {
            writing->write_line(line);
        }
        writing.reset();  // dropping the stream closes the file
        EXPECT_EQ(read_bytes("profile.dat"), written) << content;
    }
}

// The rest of a file in one block is its bytes as they stand, line ends and all, from where
// reading stands; a block of lines is written only when each ends in CR LF and none holds a
// CR or LF of its own, otherwise the stream fails with 75 and the file keeps its bytes.
TEST_F(text_files, blocks_of_lines_are_read_as_they_stand_and_written_only_whole) {
    for (const std::string content : {"", "a\nb\rc\r\n\r\nd", "\x81\r\n\xFF\xFE\n\r", "x,1\r\n"}) {
        for (const iomode mode : {for_reading, for_writing}) {
            write_bytes("profile.dat", content);
            auto stream = files_->open_text_file("profile.dat", mode);
            EXPECT_EQ(stream->read_rest_bytes(), content) << mode;
            EXPECT_TRUE(stream->at_end_of_stream());
            EXPECT_EQ(stream->read_rest_bytes(), "");
            stream.reset();  // a rewrite with nothing written empties the file
            if (content.empty()) {
                continue;
            }
            write_bytes("profile.dat", content);
            stream = files_->open_text_file("profile.dat", mode);
            const std::string first = stream->read_line_bytes();
            const std::string rest = stream->read_rest_bytes();
            // The first line, its line end, the rest.
            ASSERT_LE(first.size() + rest.size(), content.size());
            const std::string end =
                content.substr(first.size(), content.size() - first.size() - rest.size());
            EXPECT_EQ(content.substr(0, first.size()) + end + rest, content) << mode;
            EXPECT_TRUE(end == "\r\n" || end == "\n" || end == "\r" ||
                        (end.empty() && rest.empty()))
                << mode << content;
        }
    }
    const struct {
        std::string block;
        bool whole;
    } blocks[] = {
        {"", true},         {"a\r\n", true},     {"a\r\n\r\nb,\x81\r\n", true},
        {"a\r\nb", false},  {"a\nb\r\n", false}, {"a\rb\r\n", false},
        {"a\r\n\r", false}, {"\n", false},       {"a\r\r\n", false},
    };
    for (const auto& [block, whole] : blocks) {
        write_bytes("profile.dat", "old\r\n");
        auto rewrite = files_->open_text_file("profile.dat", for_writing);
        EXPECT_EQ(error_of([&] { rewrite->write_lines_bytes(block); }), whole ? 0 : 75) << block;
        rewrite->close();
        EXPECT_EQ(read_bytes("profile.dat"), whole ? block : "old\r\n") << block;
        // After append_on_close the block goes after the content, on a line of its own.
        write_bytes("profile.dat", "A,1");
        auto append = files_->open_text_file("profile.dat", for_writing);
        append->read_rest_bytes();
        append->append_on_close();
        append->write_lines_bytes(whole ? block : "");
        append->write_line_bytes("z");
        append->close();
        EXPECT_EQ(read_bytes("profile.dat"), "A,1\r\n" + (whole ? block : "") + "z\r\n") << block;
    }
    EXPECT_EQ(entries(), 1);
}

// One behaviour on every platform for the single bytes that are no character of the code
// page (Windows' own converter gives 0x80 as U+0080): each is kept as its private code point
// U+10FE00 + byte and written back as itself; U+0080 itself cannot be written.
TEST(cp932, bytes_that_are_no_character_read_as_their_private_code_points) {
    const std::pair<std::string, std::string> rows[] = {
        {"\x80", "\xF4\x8F\xBA\x80"},
        {"\xA0", "\xF4\x8F\xBA\xA0"},
        {"\xFD", "\xF4\x8F\xBB\xBD"},
        {"\xFE", "\xF4\x8F\xBB\xBE"},
        {"\xFF", "\xF4\x8F\xBB\xBF"},
        {"a\x80"
         "b",
         "a\xF4\x8F\xBA\x80"
         "b"},
        {"\x81\x20", "\xF4\x8F\xBA\x81 "},  // a lead byte without its trail byte
        {"\xB1\x80", "ｱ\xF4\x8F\xBA\x80"},
    };
    for (const auto& [bytes, text] : rows) {
        EXPECT_EQ(from_cp932(bytes), text) << bytes;
        EXPECT_EQ(to_cp932(text), bytes) << bytes;
    }
    EXPECT_FALSE(representable_in_cp932("\xC2\x80"));  // U+0080
}

// The code page's duplicate characters (NEC and IBM extensions) decode to one character from
// either byte pair; written, the character takes the second of them.
TEST(cp932, duplicate_characters_decode_alike_and_encode_to_one_pair) {
    const std::tuple<std::string, std::string, std::string> rows[] = {
        {"\x87\x90", "\x81\xE0", "≒"},   // NEC row 13 and JIS
        {"\xED\x40", "\xFA\x5C", "纊"},  // NEC-selected IBM and IBM
        {"\xEE\xF9", "\x81\xCA", "￢"},
    };
    for (const auto& [first, second, text] : rows) {
        EXPECT_EQ(from_cp932(first), text);
        EXPECT_EQ(from_cp932(second), text);
        EXPECT_EQ(to_cp932(text), second);
    }
}

// What cannot be written so that it reads back as itself is refused.
TEST(cp932, refuses_what_would_not_read_back) {
    for (const char* text : {"雪☃", "\xF0\x9F\x98\x80",  // not in the code page
                             "〜", "¥",                  // written as ～ and as the backslash
                             "\xF4\x8F\xB9\x81",         // a private code point for an ASCII byte
                             "\xF4\x8F\xBA\x81@",        // 81 then @ reads back as one character
                             "\xFF"}) {                  // not UTF-8
        EXPECT_FALSE(representable_in_cp932(text)) << text;
        try {
            to_cp932(text);
            ADD_FAILURE() << "written: " << text;
        } catch (const host_error& error) {
            EXPECT_EQ(error.number(), 75);
            EXPECT_EQ(error.description(), "この文字はファイルに書き込めません。");
        }
    }
}

// A line appended after a lone CR starts after it; CR LF ends each. (No file, and a last line
// without its end: profile_store_test's saves.)
TEST_F(text_files, appending_starts_after_the_last_line_end) {
    for (const auto& [old, expected] :
         {std::pair{"a\r\n", "a\r\nb\r\nc\r\n"}, {"a\r", "a\rb\r\nc\r\n"}}) {
        write_bytes("profile.dat", old);
        auto stream = files_->open_text_file("profile.dat", for_appending, true);
        stream->write_line("b");
        stream->write_line("c");
        stream->close();
        EXPECT_EQ(read_bytes("profile.dat"), expected) << old;
    }
}

// A command script is made anew in the code page the command interpreter reads (932 on the
// systems the program targets): a leftover of its name, whatever it holds, is removed, never
// appended to; the script stays until it is removed, and a leftover that cannot be removed (a
// folder) keeps the name and gives no script.
TEST_F(text_files, a_command_script_is_made_anew_in_code_page_932) {
    write_bytes("cmd_tmp.cmd", "netsh interface ip set dns \"other\" static 192.0.2.66\r\n");
    auto script = files_->create_command_script(
        "cmd_tmp.cmd",
        {"@echo off", "netsh interface ip set address \"ローカル エリア接続\" dhcp"});
    ASSERT_TRUE(script);
    EXPECT_EQ(script->name(), "cmd_tmp.cmd");
    EXPECT_EQ(read_bytes("cmd_tmp.cmd"),
              "@echo off\r\nnetsh interface ip set address \""
              "\x83\x8D\x81\x5B\x83\x4A\x83\x8B\x20\x83\x47\x83\x8A\x83\x41\x90\xDA\x91\xB1"
              "\" dhcp\r\n");
    script->remove();
    EXPECT_FALSE(fs::exists("cmd_tmp.cmd"));
    EXPECT_EQ(entries(), 0);
    EXPECT_TRUE(files_->can_store_in_command_script("ローカル エリア接続"));
    EXPECT_FALSE(files_->can_store_in_command_script("雪☃"));
    EXPECT_EQ(error_of([&] { files_->create_command_script("cmd_tmp.cmd", {"雪☃"}); }), 75);
    EXPECT_EQ(entries(), 0);

    fs::create_directory("cmd_tmp.cmd");
    EXPECT_FALSE(files_->create_command_script("cmd_tmp.cmd", {"@echo off"}));
    EXPECT_TRUE(fs::is_directory("cmd_tmp.cmd"));
}

// A rewrite killed before it replaced the file leaves its new content's file behind; the next
// change of that file clears it, and nothing else.
TEST_F(text_files, the_next_change_clears_what_an_interrupted_rewrite_left) {
    const lines leftovers = {".profile.dat.a1B2c3", ".profile.dat.ZZZZZZ"};
    const lines kept = {".profile.dat.a1B2c", ".other.dat.a1B2c3", "nrv1A2B.tmp"};
    for (const iomode mode : {for_writing, for_appending}) {
        write_bytes("profile.dat", "a\r\n");
        for (const auto& name : leftovers) {
            write_bytes(name, std::string(1000, 'x'));
        }
        for (const auto& name : kept) {
            write_bytes(name, "keep");
        }
        auto stream = files_->open_text_file("profile.dat", mode);
        stream->write_line("b");
        stream->close();
        for (const auto& name : leftovers) {
            EXPECT_FALSE(fs::exists(name)) << name << mode;
        }
        for (const auto& name : kept) {
            EXPECT_EQ(read_bytes(name), "keep") << name << mode;
        }
        EXPECT_EQ(read_bytes("profile.dat"), mode == for_writing ? "b\r\n" : "a\r\nb\r\n");
    }
}

TEST_F(text_files, a_rewrite_that_fails_leaves_the_old_file) {
    write_bytes("profile.dat", "old\r\n");
    try {
        auto stream = files_->open_text_file("profile.dat", for_writing);
        stream->write_line("half");
        throw 1;  // the program fails before Close
    } catch (int) {
    }
    auto failing = files_->open_text_file("profile.dat", for_writing);
    failing->write_line("half");
    EXPECT_EQ(error_of([&] { failing->write_line("雪☃"); }), 75);
    failing->close();  // the failure was reported by the write
    EXPECT_EQ(read_bytes("profile.dat"), "old\r\n");
    EXPECT_EQ(entries(), 1);
}

// A missing file is 53, a folder 75; a read-only file may be read, but any change is refused
// with 70 (the read-only attribute on Windows, no write permission on Linux).
TEST_F(text_files, failures_carry_the_numbers_the_program_shows) {
    fs::create_directory("folder");
    write_bytes("profile.dat", "old\r\n");
    fs::permissions("profile.dat",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    for (const auto& [name, reading, changing] :
         {std::tuple{"missing.dat", 53, 53}, {"folder", 75, 75}, {"profile.dat", 0, 70}}) {
        EXPECT_EQ(files_->file_exists(name), reading == 0) << name;
        for (const iomode mode : {for_reading, for_writing, for_appending}) {
            EXPECT_EQ(error_of([&] { files_->open_text_file(name, mode); }),
                      mode == for_reading ? reading : changing)
                << name << mode;
        }
        EXPECT_EQ(error_of([&] { files_->delete_file(name); }), changing) << name;
    }
    EXPECT_EQ(error_of([&] { files_->create_command_script("no-folder/cmd_tmp.cmd", {"a"}); }), 75);
    EXPECT_EQ(error_of([&] { files_->open_text_file("no-folder/new.dat", for_appending, true); }),
              75);
    EXPECT_EQ(read_bytes("profile.dat"), "old\r\n");
    EXPECT_EQ(entries(), 2);
}

TEST_F(text_files, an_open_stream_keeps_other_writers_out_until_it_is_closed) {
    const std::tuple<iomode, iomode, int> rows[] = {
        {for_writing, for_writing, 70},
        {for_writing, for_reading, 70},
        {for_appending, for_appending, 70},
        {for_reading, for_appending, 70},
        {for_reading, for_reading, 0},
        {for_writing, static_cast<iomode>(0), 70},  // 0: delete
        {for_reading, static_cast<iomode>(0), 70}};
    for (const auto& [first_mode, second_mode, error] : rows) {
        write_bytes("profile.dat", "a\r\n");
        const auto second = [&] {
            second_mode == 0 ? files_->delete_file("profile.dat")
                             : files_->open_text_file("profile.dat", second_mode)->close();
        };
        auto first = files_->open_text_file("profile.dat", first_mode);
        EXPECT_EQ(error_of(second), error) << first_mode << " " << second_mode;
        first->close();
        EXPECT_EQ(error_of(second), 0) << first_mode << " " << second_mode;
    }
}

}  // namespace
}  // namespace norvane::host
