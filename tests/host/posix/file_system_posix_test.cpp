// The Linux port of the file component where it meets Linux itself: a rewrite's new file
// keeps the old one's mode and owner; another user's rights. What every side shares is
// tests/host/text_files_test.cpp, the protocol itself tests/host/text_protocol_test.cpp.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/host.h"
#include "host/platform.h"
#include "support/file_checks.h"

namespace norvane::host {
namespace {

namespace fs = std::filesystem;
using testing::entries;
using testing::error_of;
using testing::read_bytes;
using testing::write_bytes;

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

// Each test runs in a fresh temporary directory that is the current directory.
class file_system_test : public ::testing::Test {
  protected:
    testing::temp_dir dir_;
    std::unique_ptr<file_system> files_ = create_file_system();
};

// The new file takes the old one's permission bits and owner; until it does, other programs
// read the old file (on Windows no one reads a file that a rewrite holds).
TEST_F(file_system_test, a_rewrite_is_a_new_file_with_the_old_ones_mode_and_owner) {
    write_bytes("profile.dat", "a\r\nb\r\n");
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
    EXPECT_EQ(read_bytes("profile.dat"), "a\r\nb\r\n");
    stream->close();
    EXPECT_EQ(read_bytes("profile.dat"), "new\r\n");
    EXPECT_EQ(entries(), 1);
    struct stat after {};
    ASSERT_EQ(::stat("profile.dat", &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(std::tuple(after.st_mode & 07777, after.st_uid, after.st_gid),
              std::tuple(0640u, owner, group));
}

// (A full disk: tests/reliability.)

// A rewrite through a symbolic link replaces the file it points to; a delete removes the link.
TEST_F(file_system_test, a_symbolic_link_is_followed_by_a_rewrite_and_deleted_itself) {
    write_bytes("target.dat", "a\r\n");
    fs::create_symlink("target.dat", "profile.dat");
    files_->open_text_file("profile.dat", for_writing)->write_line("b");
    EXPECT_TRUE(fs::is_symlink("profile.dat"));
    files_->delete_file("profile.dat");
    EXPECT_FALSE(fs::exists(fs::symlink_status("profile.dat")));
    EXPECT_EQ(read_bytes("target.dat"), "b\r\n");
}

// What an ordinary user may not do is said as it is: a file they may not read is not one they
// "cannot write". A folder they may not write to holds no new file, so a writable file in it
// is rewritten in place, with the same result.
TEST_F(file_system_test, an_ordinary_user_without_read_or_folder_rights) {
    write_bytes("profile.dat", "secret\r\n");
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

    write_bytes("profile.dat", "a\r\nb\r\n");
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
    EXPECT_EQ(read_bytes("profile.dat"), "c\r\nd\r\n");
    EXPECT_EQ(entries(), 1);
}

// In a folder that others may change (write bits for group or others, or another user's), the
// name profile.dat may lead anywhere they chose: a symbolic link to someone else's file, a
// second name of such a file, a pipe, a folder. A change there refuses all of these
// (others_may_change) and touches nothing, while reading through a link still works; a plain
// file of one name is changed as usual. In a folder of the user's own, a link is followed.
TEST_F(file_system_test, a_folder_open_to_others_changes_only_a_plain_file_of_one_name) {
    fs::create_directory("elsewhere");
    write_bytes("elsewhere/target", "theirs\r\n");
    const struct {
        const char* what;
        std::function<void()> make;
        bool readable;
    } names[] = {
        {"a symbolic link", [] { fs::create_symlink("../elsewhere/target", "shared/profile.dat"); },
         true},
        {"a dangling symbolic link",
         [] { fs::create_symlink("../elsewhere/missing", "shared/profile.dat"); }, false},
        {"a second name", [] { fs::create_hard_link("elsewhere/target", "shared/profile.dat"); },
         true},
        {"a pipe", [] { ASSERT_EQ(::mkfifo("shared/profile.dat", 0666), 0); }, false},
        {"a folder", [] { fs::create_directory("shared/profile.dat"); }, false},
    };
    const auto change = [&](int how) {
        const std::string name = "shared/profile.dat";
        if (how == 0) {
            auto stream = files_->open_text_file(name, for_writing);
            stream->write_line("mine");
            stream->close();
        } else if (how == 1) {
            auto stream = files_->open_text_file(name, for_appending, true);
            stream->write_line("mine");
            stream->close();
        } else {
            auto stream = files_->open_text_file(name, for_writing, true);
            stream->append_on_close();
            stream->write_line("mine");
            stream->close();
        }
    };
    for (const mode_t mode : {0777, 01777, 0770, 0702}) {
        for (const auto& name : names) {
            fs::remove_all("shared");
            fs::create_directory("shared");
            ASSERT_EQ(::chmod("shared", mode), 0);
            name.make();
            for (int how = 0; how < 3; ++how) {
                EXPECT_EQ(error_of([&] { change(how); }), others_may_change)
                    << name.what << " in a folder of mode " << std::oct << mode << ", change "
                    << how;
            }
            EXPECT_EQ(read_bytes("elsewhere/target"), "theirs\r\n") << name.what;
            if (name.readable) {
                EXPECT_EQ(files_->open_text_file("shared/profile.dat", for_reading)->read_line(),
                          "theirs")
                    << name.what;
            }
        }
        fs::remove_all("shared");
        fs::create_directory("shared");
        ASSERT_EQ(::chmod("shared", mode), 0);
        write_bytes("shared/profile.dat", "a\r\n");
        EXPECT_EQ(error_of([&] { change(2); }), 0) << std::oct << mode;
        EXPECT_EQ(read_bytes("shared/profile.dat"), "a\r\nmine\r\n");
    }
    // A folder of the user's own whose link leads into a folder open to others: the link is
    // followed there, and what is there is judged as in that folder.
    fs::remove_all("shared");
    fs::create_directory("shared");
    ASSERT_EQ(::chmod("shared", 0777), 0);
    fs::create_symlink("../elsewhere/target", "shared/profile.dat");
    fs::create_symlink("shared/profile.dat", "profile.dat");
    EXPECT_EQ(error_of([&] {
                  auto stream = files_->open_text_file("profile.dat", for_writing);
                  stream->write_line("mine");
                  stream->close();
              }),
              others_may_change);
    EXPECT_EQ(read_bytes("elsewhere/target"), "theirs\r\n");
}

// A folder owned by another user is open to them whatever its mode: the superuser working in
// it does not follow a link that user put there.
TEST_F(file_system_test, a_folder_of_another_user_is_open_to_them) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only the superuser can give a folder to another user";
    }
    fs::create_directory("theirs");
    write_bytes("target", "root's\r\n");
    fs::create_symlink("../target", "theirs/profile.dat");
    ASSERT_EQ(::chown("theirs", 65534, 65534), 0);
    ASSERT_EQ(::chmod("theirs", 0755), 0);
    EXPECT_EQ(error_of([&] { files_->delete_file("theirs/profile.dat"); }), 0);  // the link
    fs::create_symlink("../target", "theirs/profile.dat");
    EXPECT_EQ(error_of([&] {
                  auto stream = files_->open_text_file("theirs/profile.dat", for_writing);
                  stream->write_line("x");
                  stream->close();
              }),
              others_may_change);
    EXPECT_EQ(read_bytes("target"), "root's\r\n");
}

}  // namespace
}  // namespace norvane::host
