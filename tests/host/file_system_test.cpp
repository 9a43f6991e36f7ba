#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "host/host.h"

namespace norvane::host {
namespace {

namespace fs = std::filesystem;

// Each test runs in a fresh temporary directory that is the current directory.
class file_system_test : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "norvane-files-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        previous_ = fs::current_path();
        fs::current_path(dir_);
        files_ = create_file_system();
    }
    void TearDown() override {
        fs::current_path(previous_);
        std::error_code ignored;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir_, ignored);
    }

    static std::string read_bytes(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void write_bytes(const fs::path& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    std::vector<std::string> read_lines(const std::string& name) {
        auto stream = files_->OpenTextFile(name, for_reading);
        std::vector<std::string> lines;
        while (!stream->AtEndOfStream()) {
            lines.push_back(stream->ReadLine());
        }
        return lines;
    }
    void rewrite(const std::string& name, const std::vector<std::string>& lines) {
        auto stream = files_->OpenTextFile(name, for_writing);
        for (const auto& line : lines) {
            stream->WriteLine(line);
        }
        stream->Close();
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
    static int error_of(const std::function<void()>& operation) {
        try {
            operation();
        } catch (const host_error& error) {
            if (error.description() != "この文字はファイルに書き込めません。") {
                EXPECT_EQ(error.description(), describe_error(error.number()));
            }
            return error.number();
        }
        return 0;
    }

    fs::path dir_, previous_;
    std::unique_ptr<file_system> files_;
};

TEST_F(file_system_test, writes_code_page_932_with_crlf_and_reads_it_back) {
    auto stream = files_->OpenTextFile("profile.dat", for_appending, true);
    stream->WriteLine("ローカル エリア接続");
    stream->WriteLine("表ソ");
    stream->WriteLine("");
    stream->Close();
    EXPECT_EQ(read_bytes("profile.dat"),
              "\x83\x8D\x81\x5B\x83\x4A\x83\x8B\x20\x83\x47\x83\x8A\x83\x41\x90\xDA\x91\xB1\r\n"
              "\x95\x5C\x83\x5C\r\n\r\n");
    EXPECT_EQ(read_lines("profile.dat"),
              (std::vector<std::string>{"ローカル エリア接続", "表ソ", ""}));
    auto reading = files_->OpenTextFile("profile.dat", for_reading);
    for (int i = 0; i < 3; ++i) {
        reading->ReadLine();
    }
    EXPECT_TRUE(reading->AtEndOfStream());
    EXPECT_EQ(error_of([&] { reading->ReadLine(); }), 62);
}

TEST_F(file_system_test, an_undecodable_file_is_written_back_byte_for_byte) {
    const std::string bytes = "\x81\r\n\xFF\xFE abc\x82\r\n\x95\x5C\xA0\r\n";
    write_bytes("profile.dat", bytes);
    rewrite("profile.dat", read_lines("profile.dat"));
    EXPECT_EQ(read_bytes("profile.dat"), bytes);
}

struct line_case {
    const char* bytes;
    std::vector<std::string> lines;
};

class line_end_test : public file_system_test, public ::testing::WithParamInterface<line_case> {};

TEST_P(line_end_test, splits_lines_at_any_line_end) {
    write_bytes("profile.dat", GetParam().bytes);
    EXPECT_EQ(read_lines("profile.dat"), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(files, line_end_test,
                         ::testing::Values(line_case{"", {}}, line_case{"a\r\nb\r\n", {"a", "b"}},
                                           line_case{"a\nb", {"a", "b"}},
                                           line_case{"a\rb\r", {"a", "b"}},
                                           line_case{"\r\n\r\n", {"", ""}},
                                           line_case{"a\r\n\nb\r\rc", {"a", "", "b", "", "c"}},
                                           line_case{"\x95\x5C\r\n\x83\x5C", {"表", "ソ"}}));

TEST_F(file_system_test, missing_files) {
    EXPECT_FALSE(files_->FileExists("profile.dat"));
    EXPECT_EQ(error_of([&] { files_->OpenTextFile("profile.dat", for_reading); }), 53);
    EXPECT_EQ(error_of([&] { files_->OpenTextFile("profile.dat", for_writing); }), 53);
    EXPECT_EQ(error_of([&] { files_->OpenTextFile("profile.dat", for_appending); }), 53);
    EXPECT_EQ(error_of([&] { files_->DeleteFile("profile.dat"); }), 53);
    EXPECT_EQ(entries(), std::vector<std::string>{});

    files_->OpenTextFile("profile.dat", for_appending, true)->Close();
    EXPECT_TRUE(files_->FileExists("profile.dat"));
    EXPECT_EQ(read_bytes("profile.dat"), "");
    files_->DeleteFile("profile.dat");
    EXPECT_FALSE(files_->FileExists("profile.dat"));
}

TEST_F(file_system_test, a_folder_is_no_file) {
    fs::create_directory("profile.dat");
    EXPECT_FALSE(files_->FileExists("profile.dat"));
    for (const iomode mode : {for_reading, for_writing, for_appending}) {
        EXPECT_EQ(error_of([&] { files_->OpenTextFile("profile.dat", mode); }), 75) << mode;
    }
    EXPECT_EQ(error_of([&] { files_->DeleteFile("profile.dat"); }), 75);
}

TEST_F(file_system_test, appending_adds_after_what_is_there) {
    write_bytes("profile.dat", "a\r\n");
    auto stream = files_->OpenTextFile("profile.dat", for_appending, true);
    stream->WriteLine("b");
    stream.reset();  // dropping the stream closes the file
    EXPECT_EQ(read_bytes("profile.dat"), "a\r\nb\r\n");
}

TEST_F(file_system_test, a_rewrite_reads_the_old_content_and_replaces_it_on_close) {
    write_bytes("profile.dat", "a\r\n");
    files_->OpenTextFile("profile.dat", for_appending)->WriteLine("b");
    auto stream = files_->OpenTextFile("profile.dat", for_writing);
    stream->WriteLine("new");
    EXPECT_EQ(read_bytes("profile.dat"), "a\r\nb\r\n");
    std::vector<std::string> old;
    while (!stream->AtEndOfStream()) {
        old.push_back(stream->ReadLine());
    }
    EXPECT_EQ(old, (std::vector<std::string>{"a", "b"}));
    stream->Close();
    EXPECT_EQ(read_bytes("profile.dat"), "new\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"profile.dat"});
}

TEST_F(file_system_test, a_rewrite_cut_short_leaves_the_old_file) {
    write_bytes("profile.dat", "old\r\n");
    try {
        auto stream = files_->OpenTextFile("profile.dat", for_writing);
        stream->WriteLine("half");
        throw std::runtime_error("the program fails before Close");
    } catch (const std::runtime_error&) {
    }
    {
        auto stream = files_->OpenTextFile("profile.dat", for_writing);
        stream->WriteLine("half");
        EXPECT_EQ(error_of([&] { stream->WriteLine("雪☃"); }), 75);
        stream->Close();  // the failure was reported by the write
    }
    EXPECT_EQ(read_bytes("profile.dat"), "old\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"profile.dat"});
}

TEST_F(file_system_test, a_rewrite_dropped_in_good_order_is_written) {
    write_bytes("profile.dat", "old\r\n");
    files_->OpenTextFile("profile.dat", for_writing)->WriteLine("new");
    EXPECT_EQ(read_bytes("profile.dat"), "new\r\n");
}

TEST_F(file_system_test, a_rewrite_on_a_full_disk_leaves_the_old_file) {
    fs::create_directory("small");
    if (::mount("tmpfs", "small", "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "no small file system can be mounted here";
    }
    const std::string old(30000, 'o');
    write_bytes("small/profile.dat", old);
    int error = 0;
    {
        auto stream = files_->OpenTextFile("small/profile.dat", for_writing);
        error = error_of([&] {
            for (int i = 0; i < 100; ++i) {
                stream->WriteLine(std::string(1000, 'n'));
            }
        });
    }
    const std::string left = read_bytes("small/profile.dat");
    const auto names = std::distance(fs::directory_iterator("small"), fs::directory_iterator());
    ::umount2("small", MNT_DETACH);
    EXPECT_EQ(error, 61);
    EXPECT_EQ(left, old);
    EXPECT_EQ(names, 1);
}

TEST_F(file_system_test, a_rewrite_keeps_permission_bits_and_owner) {
    write_bytes("profile.dat", "old\r\n");
    ASSERT_EQ(::chmod("profile.dat", 0640), 0);
    ASSERT_EQ(::chown("profile.dat", 1234, 5678), 0);
    struct stat before {};
    ASSERT_EQ(::stat("profile.dat", &before), 0);
    rewrite("profile.dat", {"new"});
    struct stat after {};
    ASSERT_EQ(::stat("profile.dat", &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);  // replaced, not overwritten
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, 1234u);
    EXPECT_EQ(after.st_gid, 5678u);
}

TEST_F(file_system_test, a_read_only_file_refuses_changes_even_to_the_superuser) {
    write_bytes("profile.dat", "old\r\n");
    ASSERT_EQ(::chmod("profile.dat", 0444), 0);
    EXPECT_EQ(error_of([&] { files_->OpenTextFile("profile.dat", for_writing); }), 70);
    EXPECT_EQ(error_of([&] { files_->OpenTextFile("profile.dat", for_appending, true); }), 70);
    EXPECT_EQ(error_of([&] { files_->DeleteFile("profile.dat"); }), 70);
    EXPECT_EQ(read_lines("profile.dat"), std::vector<std::string>{"old"});
    EXPECT_EQ(entries(), std::vector<std::string>{"profile.dat"});
}

struct sharing_case {
    iomode first;
    iomode second;  // 0: DeleteFile
    int error;
};

class sharing_test : public file_system_test, public ::testing::WithParamInterface<sharing_case> {};

TEST_P(sharing_test, a_stream_keeps_others_out_until_it_is_closed) {
    write_bytes("profile.dat", "a\r\n");
    const auto second = [&] {
        if (GetParam().second == 0) {
            files_->DeleteFile("profile.dat");
        } else {
            files_->OpenTextFile("profile.dat", GetParam().second)->Close();
        }
    };
    auto first = files_->OpenTextFile("profile.dat", GetParam().first);
    EXPECT_EQ(error_of(second), GetParam().error);
    first->Close();
    EXPECT_EQ(error_of(second), 0);
}

INSTANTIATE_TEST_SUITE_P(streams, sharing_test,
                         ::testing::Values(sharing_case{for_writing, for_writing, 70},
                                           sharing_case{for_writing, for_reading, 70},
                                           sharing_case{for_appending, for_appending, 70},
                                           sharing_case{for_reading, for_appending, 70},
                                           sharing_case{for_reading, for_reading, 0},
                                           sharing_case{for_writing, static_cast<iomode>(0), 70}));

// The number an operation fails with for an ordinary user (run in a child process).
int error_as_ordinary_user(const std::function<void()>& operation) {
    const pid_t child = ::fork();
    if (child == 0) {
        int number = 0;
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(255);
        }
        try {
            operation();
        } catch (const host_error& error) {
            number = error.number();
        }
        ::_exit(number);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(file_system_test, an_ordinary_user_cannot_change_what_is_not_theirs) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs the superuser to become an ordinary user";
    }
    write_bytes("profile.dat", "old\r\n");
    ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
    EXPECT_EQ(error_as_ordinary_user([&] { files_->OpenTextFile("profile.dat", for_writing); }),
              70);
    ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    EXPECT_EQ(error_as_ordinary_user([&] { files_->OpenTextFile("new.dat", for_appending, true); }),
              70);
    EXPECT_EQ(read_bytes("profile.dat"), "old\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"profile.dat"});
}

}  // namespace
}  // namespace norvane::host
