// The Linux side of the file component where it meets Linux itself: a rewrite's new file
// keeps the old one's mode and owner, a full disk, another user's rights. What every side
// shares is tests/host/text_files_test.cpp.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/host.h"
#include "host/platform.h"

namespace norvane::host {
namespace {

namespace fs = std::filesystem;

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

// The same for an ordinary user: run in a child process that gives up the superuser.
int error_as_ordinary_user(const std::function<void()>& operation) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(::setgid(65534) != 0 || ::setuid(65534) != 0 ? 255 : error_of(operation));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

// The new file takes the old one's permission bits and owner; until it does, other programs
// read the old file (on Windows no one reads a file that a rewrite holds).
TEST_F(file_system_test, a_rewrite_is_a_new_file_with_the_old_ones_mode_and_owner) {
    put("a\r\nb\r\n");
    ASSERT_EQ(::chmod("profile.dat", 0640), 0);
    ASSERT_EQ(::chown("profile.dat", 1234, 5678), 0);
    struct stat before {};
    ASSERT_EQ(::stat("profile.dat", &before), 0);
    auto stream = files_->open_text_file("profile.dat", for_writing);
    stream->write_line("new");
    EXPECT_EQ(bytes_of(), "a\r\nb\r\n");
    stream->close();
    EXPECT_EQ(bytes_of(), "new\r\n");
    EXPECT_EQ(entries(), 1);
    struct stat after {};
    ASSERT_EQ(::stat("profile.dat", &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(std::tuple(after.st_mode & 07777, after.st_uid, after.st_gid),
              std::tuple(0640u, 1234u, 5678u));
}

// A rewrite that fails on a full disk: 61, and the old file is left as it was.
TEST_F(file_system_test, a_rewrite_that_fails_on_a_full_disk_leaves_the_old_file) {
    fs::create_directory("small");
    if (::mount("tmpfs", "small", "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "no small file system can be mounted here";
    }
    put(std::string(30000, 'o'), "small/profile.dat");
    const int error = error_of([&] {
        auto stream = files_->open_text_file("small/profile.dat", for_writing);
        for (int i = 0; i < 100; ++i) {
            stream->write_line(std::string(1000, 'n'));
        }
    });
    const std::string left = bytes_of("small/profile.dat");
    const std::ptrdiff_t names = entries("small");
    ::umount2("small", MNT_DETACH);
    EXPECT_EQ(error, 61);
    EXPECT_EQ(left, std::string(30000, 'o'));
    EXPECT_EQ(names, 1);
}

// What an ordinary user may not change is refused with 70.
TEST_F(file_system_test, an_ordinary_user_is_refused_with_70) {
    put("old\r\n");
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs the superuser to act as another user";
    }
    {
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
    EXPECT_EQ(entries(), 1);
}

}  // namespace
}  // namespace norvane::host
