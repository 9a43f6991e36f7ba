// The change log on Linux: its folder from the XDG variables, its size kept bounded with one
// older log, and a folder or file that another user could have put in its place refused.
#include "host/posix/change_log_posix.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>

#include "support/file_checks.h"
#include "support/temp_dir.h"

namespace norvane::host {
namespace {

namespace fs = std::filesystem;
using testing::read_bytes;
using testing::write_bytes;

TEST(change_log_posix, the_folder_follows_xdg_state_home_or_the_home_folder) {
    const struct {
        const char* state_home;  // null: unset
        const char* home;
        const char* folder;
    } cases[] = {
        {"/var/state", "/home/u", "/var/state/norvane"},
        {nullptr, "/home/u", "/home/u/.local/state/norvane"},
        {"", "/home/u", "/home/u/.local/state/norvane"},                // empty: as unset
        {"relative/state", "/home/u", "/home/u/.local/state/norvane"},  // not absolute: ignored
        {nullptr, nullptr, ""},
        {nullptr, "relative", ""},
        {"/var/state", nullptr, "/var/state/norvane"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(change_log_folder(c.state_home, c.home), c.folder)
            << (c.state_home ? c.state_home : "(unset)") << " " << (c.home ? c.home : "(unset)");
    }
}

mode_t mode_of(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

TEST(change_log_posix, records_are_appended_in_a_folder_made_for_the_user_alone) {
    testing::temp_dir dir;
    const fs::path folder = dir.path() / "state" / "deeper" / "norvane";
    const auto log = create_change_log_in(folder.string());
    EXPECT_EQ(log->location(), (folder / "changes.log").string());
    log->append("一つ目\n");
    log->append("二つ目\n");
    EXPECT_EQ(read_bytes(folder / "changes.log"), "一つ目\n二つ目\n");
    EXPECT_EQ(mode_of(folder), 0700u);
    EXPECT_EQ(mode_of(dir.path() / "state"), 0700u);
    EXPECT_EQ(mode_of(folder / "changes.log"), 0600u);
    EXPECT_TRUE(std::regex_match(log->local_time(),
                                 std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d{4})")))
        << log->local_time();
}

TEST(change_log_posix, a_full_log_becomes_the_one_older_log) {
    testing::temp_dir dir;
    const fs::path folder = dir.path() / "norvane";
    const auto log = create_change_log_in(folder.string(), 100);
    const std::string a(40, 'a'), b(40, 'b'), c(40, 'c'), d(40, 'd'), e(40, 'e');
    log->append(a);
    log->append(b);  // 80 bytes
    EXPECT_FALSE(fs::exists(folder / "changes.log.1"));
    log->append(c);  // would make 120: a new log
    EXPECT_EQ(read_bytes(folder / "changes.log.1"), a + b);
    EXPECT_EQ(read_bytes(folder / "changes.log"), c);
    log->append(d);
    log->append(e);  // the older log is replaced; two files at most
    EXPECT_EQ(read_bytes(folder / "changes.log.1"), c + d);
    EXPECT_EQ(read_bytes(folder / "changes.log"), e);
    EXPECT_EQ(testing::entries(folder), 2);
    const std::string huge(300, 'h');  // larger than the limit alone: still written whole
    log->append(huge);
    EXPECT_EQ(read_bytes(folder / "changes.log"), huge);
    EXPECT_EQ(read_bytes(folder / "changes.log.1"), e);
}

TEST(change_log_posix, a_folder_open_to_others_or_a_link_in_the_logs_place_is_refused) {
    testing::temp_dir dir;
    const fs::path folder = dir.path() / "norvane";
    const auto log = create_change_log_in(folder.string());
    log->append("ok\n");

    fs::permissions(folder, fs::perms::all);  // 0777: anyone could swap the log
    EXPECT_NE(testing::error_of([&] { log->append("no\n"); }), 0);
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(read_bytes(folder / "changes.log"), "ok\n");

    const fs::path target = dir.path() / "elsewhere";
    write_bytes(target, "untouched");
    fs::rename(folder / "changes.log", dir.path() / "old.log");
    fs::create_symlink(target, folder / "changes.log");
    EXPECT_NE(testing::error_of([&] { log->append("no\n"); }), 0);
    EXPECT_EQ(read_bytes(target), "untouched");

    fs::remove(folder / "changes.log");
    fs::rename(folder, dir.path() / "real");
    fs::create_directory_symlink(dir.path() / "real", folder);  // the folder itself a link
    EXPECT_NE(testing::error_of([&] { log->append("no\n"); }), 0);
    EXPECT_FALSE(fs::exists(dir.path() / "real" / "changes.log"));

    EXPECT_NE(testing::error_of([] { create_change_log_in("")->append("no\n"); }), 0);
    EXPECT_NE(testing::error_of([] { create_change_log_in("relative")->append("no\n"); }), 0);
}

}  // namespace
}  // namespace norvane::host
