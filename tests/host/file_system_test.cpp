#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/cp932.h"
#include "host/host.h"
#include "host/platform.h"

namespace norvane::host {
namespace {

namespace fs = std::filesystem;
using lines = std::vector<std::string>;

// The number an operation fails with (0 when it does not), with the standard description.
int error_of(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const host_error& error) {
        EXPECT_TRUE(error.number() == 75 || error.description() == describe_error(error.number()));
        return error.number();
    }
    return 0;
}

// Runs body in a child process as an ordinary user (the superuser gives itself up, as the
// folder and file permissions do not bind it) and answers body's result.
int as_ordinary_user(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        const bool root = ::geteuid() == 0;
        ::_exit(root && (::setgid(65534) != 0 || ::setuid(65534) != 0) ? 255 : body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int error_as_ordinary_user(const std::function<void()>& operation) {
    return as_ordinary_user([&] { return error_of(operation); });
}

std::string bytes_of(const fs::path& file = "profile.dat") {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put(const std::string& bytes, const fs::path& file = "profile.dat") {
    std::ofstream(file, std::ios::binary) << bytes;
}

std::ptrdiff_t entries(const fs::path& folder = ".") {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

// Each test runs in a fresh temporary directory that is the current directory.
class file_system_test : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "norvane-files-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        fs::current_path(dir_ = pattern);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }

    fs::path dir_, previous_ = fs::current_path();
    std::unique_ptr<file_system> files_ = create_file_system();
};

// Lines end at CR LF, LF or CR, and the last needs none. Written back, each ends in CR LF, in
// code page 932 with every byte that did not decode kept; one read past the end fails with 62.
TEST_F(file_system_test, reads_any_line_end_and_writes_code_page_932_with_crlf) {
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
        put(content);
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
        EXPECT_EQ(bytes_of(), written) << content;
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

TEST_F(file_system_test, appending_creates_the_file_or_starts_on_a_new_line_after_it) {
    const std::pair<const char*, std::string> rows[] = {{nullptr, "b\r\nc\r\n"},
                                                        {"a\r\n", "a\r\nb\r\nc\r\n"},
                                                        {"a", "a\r\nb\r\nc\r\n"},
                                                        {"a\r", "a\rb\r\nc\r\n"}};
    for (const auto& [old, expected] : rows) {
        fs::remove("profile.dat");
        if (old != nullptr) {
            put(old);
        }
        auto stream = files_->open_text_file("profile.dat", for_appending, true);
        stream->write_line("b");
        stream->write_line("c");
        stream->close();
        EXPECT_TRUE(files_->file_exists("profile.dat"));
        EXPECT_EQ(bytes_of(), expected) << (old ? old : "no file");
    }
}

TEST_F(file_system_test, a_rewrite_reads_the_old_file_and_replaces_it_as_a_whole_on_close) {
    put("a\r\nb\r\n");
    ASSERT_EQ(::chmod("profile.dat", 0640), 0);
    // Only the superuser can give the file another owner; everyone else keeps their own.
    const bool superuser = ::geteuid() == 0;
    const uid_t owner = superuser ? 1234 : ::geteuid();
    const gid_t group = superuser ? 5678 : ::getegid();
    ASSERT_EQ(::chown("profile.dat", owner, group), 0);
    struct stat before {};
    ASSERT_EQ(::stat("profile.dat", &before), 0);
    auto stream = files_->open_text_file("profile.dat", for_writing);
    stream->write_line("new");
    EXPECT_EQ(bytes_of(), "a\r\nb\r\n");
    EXPECT_EQ(stream->read_line(), "a");
    EXPECT_EQ(stream->read_line(), "b");
    EXPECT_TRUE(stream->at_end_of_stream());
    stream->close();
    EXPECT_EQ(bytes_of(), "new\r\n");
    EXPECT_EQ(entries(), 1);
    struct stat after {};
    ASSERT_EQ(::stat("profile.dat", &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(std::tuple(after.st_mode & 07777, after.st_uid, after.st_gid),
              std::tuple(0640u, owner, group));
}

// (A full disk: tests/reliability.)
TEST_F(file_system_test, a_rewrite_that_fails_leaves_the_old_file) {
    put("old\r\n");
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
    EXPECT_EQ(bytes_of(), "old\r\n");
    EXPECT_EQ(entries(), 1);
}

// A rewrite killed before it replaced the file leaves its new content's file behind; the next
// write of that file clears it, and nothing else.
TEST_F(file_system_test, the_next_write_clears_what_an_interrupted_rewrite_left) {
    const std::vector<std::string> leftovers = {".profile.dat.a1B2c3", ".profile.dat.ZZZZZZ"};
    const std::vector<std::string> kept = {".profile.dat.a1B2c", ".profile.dat.a1B2c3d",
                                           ".other.dat.a1B2c3", ".profile.dat.a-B2c3"};
    for (const iomode mode : {for_writing, for_appending}) {
        put("a\r\n");
        for (const auto& name : leftovers) {
            put(std::string(1000, 'x'), name);
        }
        for (const auto& name : kept) {
            put("keep", name);
        }
        auto stream = files_->open_text_file("profile.dat", mode);
        stream->write_line("b");
        stream->close();
        for (const auto& name : leftovers) {
            EXPECT_FALSE(fs::exists(name)) << name << mode;
        }
        for (const auto& name : kept) {
            EXPECT_EQ(bytes_of(name), "keep") << name << mode;
        }
        EXPECT_EQ(bytes_of(), mode == for_writing ? "b\r\n" : "a\r\nb\r\n");
    }
}

// What an ordinary user may not do is said as it is: a file they may not read is not one they
// "cannot write". A folder they may not write to holds no new file, so a writable file in it
// is rewritten in place, with the same result.
TEST_F(file_system_test, an_ordinary_user_without_read_or_folder_rights) {
    put("secret\r\n");
    ASSERT_EQ(::chmod("profile.dat", 0200), 0);
    ASSERT_EQ(::chmod(".", 0777), 0);
    const int unreadable = as_ordinary_user([&] {
        try {
            files_->open_text_file("profile.dat", for_reading);
        } catch (const host_error& error) {
            return error.number() == 70 && error.description() == "読み込みできません。" ? 0 : 1;
        }
        return 2;
    });
    EXPECT_EQ(unreadable, 0);

    put("a\r\nb\r\n");
    ASSERT_EQ(::chmod("profile.dat", 0666), 0);
    ASSERT_EQ(::chmod(".", 0555), 0);
    struct stat before {};
    ASSERT_EQ(::stat("profile.dat", &before), 0);
    const int rewritten = error_as_ordinary_user([&] {
        for (const char* content : {"a longer line", "c"}) {  // longer, then shorter
            auto stream = files_->open_text_file("profile.dat", for_writing);
            stream->write_line(content);
            stream->close();
        }
        auto append = files_->open_text_file("profile.dat", for_appending);
        append->write_line("x");
        append->close();
    });
    struct stat after {};
    ASSERT_EQ(::stat("profile.dat", &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    // A folder open to all with the sticky bit: files may be made, another user's not replaced.
    ASSERT_EQ(::chmod(".", 01777), 0);
    const int sticky = error_as_ordinary_user([&] {
        auto stream = files_->open_text_file("profile.dat", for_writing);
        stream->write_line(stream->read_line());
        stream->write_line("d");
        stream->close();
    });
    ASSERT_EQ(::chmod(".", 0755), 0);
    EXPECT_EQ(rewritten, 0);
    EXPECT_EQ(sticky, 0);
    EXPECT_EQ(bytes_of(), "c\r\nd\r\n");
    EXPECT_EQ(entries(), 1);
}

// Another copy holding the file for a moment is waited for; one holding it for long is not.
TEST_F(file_system_test, a_lock_held_for_a_moment_is_waited_for_and_a_long_one_fails) {
    put("a\r\n");
    using clock = std::chrono::steady_clock;
    for (const auto& [held_ms, error] : {std::pair{300, 0}, std::pair{3000, 70}}) {
        const pid_t holder = ::fork();
        if (holder == 0) {
            const int fd = ::open("profile.dat", O_RDONLY);
            ::flock(fd, LOCK_EX);
            ::usleep(static_cast<useconds_t>(held_ms) * 1000);
            ::_exit(0);
        }
        ::usleep(100000);  // the holder has the lock
        const auto start = clock::now();
        EXPECT_EQ(error_of([&] { files_->open_text_file("profile.dat", for_appending); }), error);
        const auto waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - start);
        EXPECT_GE(waited.count(), error == 0 ? 100 : 900) << held_ms;
        EXPECT_LE(waited.count(), 2000) << held_ms;
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
    }
}

// A missing file is 53, a folder 75; a read-only file may be read, but any change is refused
// with 70, as is what an ordinary user may not change.
TEST_F(file_system_test, failures_carry_the_numbers_the_program_shows) {
    fs::create_directory("folder");
    put("old\r\n");
    ASSERT_EQ(::chmod("profile.dat", 0444), 0);  // read-only even for the superuser
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
    if (::geteuid() == 0) {
        // Another user's file in a folder anyone may write to; a folder they may not write to.
        ASSERT_EQ(::chmod("profile.dat", 0644), 0);
        ASSERT_EQ(::chmod(".", 0777), 0);
        EXPECT_EQ(
            error_as_ordinary_user([&] { files_->open_text_file("profile.dat", for_writing); }),
            70);
        ASSERT_EQ(::chmod(".", 0755), 0);
        EXPECT_EQ(
            error_as_ordinary_user([&] { files_->open_text_file("new", for_appending, true); }),
            70);
    }
    EXPECT_EQ(bytes_of(), "old\r\n");
    EXPECT_EQ(entries(), 2);
}

TEST_F(file_system_test, an_open_stream_keeps_other_writers_out_until_it_is_closed) {
    const std::tuple<iomode, iomode, int> rows[] = {
        {for_writing, for_writing, 70},
        {for_writing, for_reading, 70},
        {for_appending, for_appending, 70},
        {for_reading, for_appending, 70},
        {for_reading, for_reading, 0},
        {for_writing, static_cast<iomode>(0), 70}};  // 0: delete
    for (const auto& [first_mode, second_mode, error] : rows) {
        put("a\r\n");
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
