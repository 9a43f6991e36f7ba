// The command script on Linux, from its making to its run in the real norvane-cmd: what lies
// under its name beforehand is removed as itself (a symbolic link or a pipe, never what a link
// names), the script run is the one the program wrote whatever its name leads to by then, and
// nmcli is started by its full path. The race against another user is in tests/reliability.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/platform.h"
#include "host/posix/nmcli_messages.h"
#include "host/posix/process_runner.h"
#include "host/posix/shell_posix.h"
#include "support/temp_dir.h"

namespace norvane::host {
namespace {

namespace fs = std::filesystem;
using testing::read_bytes;
using testing::write_bytes;

const std::string unknown =
    "' は、内部コマンドまたは外部コマンド、操作可能なプログラムまたは"
    "バッチ ファイルとして認識されていません。";

// Each test runs in a fresh temporary directory that is the current directory; "elsewhere" is
// a folder beside it that stands for files outside the script's folder.
class command_script_posix : public ::testing::Test {
  protected:
    command_script_posix() { fs::create_directory("elsewhere"); }

    std::unique_ptr<command_script> make(const std::vector<std::string>& lines) {
        return files_->create_command_script("cmd_tmp.cmd", lines);
    }

    testing::temp_dir dir_;
    std::unique_ptr<file_system> files_ = create_file_system();
};

// Whatever a leftover is, the name alone is removed; a folder cannot be, and keeps it.
TEST_F(command_script_posix, a_leftover_is_removed_as_itself_and_what_it_names_is_untouched) {
    const struct {
        const char* what;
        std::function<void()> put;
        bool made;
    } rows[] = {
        {"a symbolic link to a file elsewhere",
         [] { fs::create_symlink("elsewhere/target", "cmd_tmp.cmd"); }, true},
        {"a dangling symbolic link", [] { fs::create_symlink("elsewhere/none", "cmd_tmp.cmd"); },
         true},
        {"a symbolic link to a folder",
         [] { fs::create_directory_symlink("elsewhere", "cmd_tmp.cmd"); }, true},
        {"a hard link of a file elsewhere",
         [] { fs::create_hard_link("elsewhere/target", "cmd_tmp.cmd"); }, true},
        {"a FIFO", [] { ASSERT_EQ(::mkfifo("cmd_tmp.cmd", 0666), 0); }, true},
        {"a file read-only to all",
         [] {
             write_bytes("cmd_tmp.cmd", "netsh old\r\n");
             fs::permissions("cmd_tmp.cmd", fs::perms::owner_read);
         },
         true},
        {"a folder", [] { fs::create_directory("cmd_tmp.cmd"); }, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        write_bytes("elsewhere/target", "not the script's\r\n");
        row.put();
        const auto script = make({"@echo off"});
        EXPECT_EQ(script != nullptr, row.made);
        EXPECT_EQ(read_bytes("elsewhere/target"), "not the script's\r\n");
        if (script) {
            const fs::file_status status = fs::symlink_status("cmd_tmp.cmd");
            EXPECT_TRUE(fs::is_regular_file(status));
            EXPECT_EQ(status.permissions(), fs::perms::owner_read | fs::perms::owner_write);
            EXPECT_EQ(read_bytes("cmd_tmp.cmd"), "@echo off\r\n");
            script->remove();
        } else {
            EXPECT_TRUE(fs::is_directory(fs::symlink_status("cmd_tmp.cmd")));
            fs::remove("cmd_tmp.cmd");
        }
        EXPECT_FALSE(fs::exists(fs::symlink_status("cmd_tmp.cmd")));
    }
}

// After the run the script is removed only while its name leads to it: a file put in its place
// stays.
TEST_F(command_script_posix, only_the_script_itself_is_removed_after_its_run) {
    auto script = make({"@echo off"});
    fs::rename("cmd_tmp.cmd", "elsewhere/moved");
    write_bytes("cmd_tmp.cmd", "someone else's\r\n");
    script->remove();
    EXPECT_EQ(read_bytes("cmd_tmp.cmd"), "someone else's\r\n");
    EXPECT_EQ(read_bytes("elsewhere/moved"), "@echo off\r\n");

    script = make({"echo 2"});
    fs::remove("cmd_tmp.cmd");
    EXPECT_NO_THROW(script->remove());  // gone already: nothing else is touched
    EXPECT_FALSE(fs::exists("cmd_tmp.cmd"));
    EXPECT_EQ(read_bytes("elsewhere/moved"), "@echo off\r\n");
}

// The real norvane-cmd, started by the shell, runs what the program wrote even when another
// file has taken the script's name since; started by hand with a name, it runs that file.
TEST_F(command_script_posix, norvane_cmd_runs_the_file_it_is_handed_not_the_name) {
    const auto shell = create_posix_shell(NORVANE_CMD_PATH);
    auto script = make({"@echo off", "written_by_the_program"});
    write_bytes("other", "@echo off\r\nput_there_by_someone_else\r\n");
    fs::rename("other", "cmd_tmp.cmd");
    const script_run run = shell->run_script(*script, 0);
    EXPECT_EQ(run.result, script_run::status::finished);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.reason, "'written_by_the_program" + unknown);

    const runner_options options{.search_path = false, .new_session = true, .environment = {}};
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string last_line;
    } by_hand[] = {
        {{NORVANE_CMD_PATH, "cmd_tmp.cmd"}, 1, "'put_there_by_someone_else" + unknown},
        {{NORVANE_CMD_PATH, "missing.cmd"}, 1, "'missing.cmd" + unknown},
        {{NORVANE_CMD_PATH, "--script-fd", "x", "cmd_tmp.cmd"},
         1,
         "使い方: norvane-cmd [--script-fd 番号] スクリプト"},
        {{NORVANE_CMD_PATH, "--script-fd", "3", "cmd_tmp.cmd"},
         1,
         "'cmd_tmp.cmd' を読み込めません: Bad file descriptor"},
    };
    for (const auto& row : by_hand) {
        const process_result ended = run_process(row.arguments, options, -1);
        EXPECT_EQ(ended.exit_status, row.status) << row.arguments.back();
        EXPECT_EQ(ended.errors, row.last_line + "\n") << row.arguments.back();
    }
}

// An empty element of PATH stands for the current folder: an nmcli put there is not what
// norvane-cmd starts. nmcli is taken from its places by full path.
TEST_F(command_script_posix, norvane_cmd_starts_nmcli_by_its_full_path) {
    write_bytes("nmcli", "#!/bin/sh\necho planted > \"${0%/*}/planted\"\n");
    fs::permissions("nmcli", fs::perms::owner_all);
    const char* const old_path = std::getenv("PATH");
    const std::string kept = old_path != nullptr ? old_path : "";
    ::setenv("PATH", ":/usr/bin:/bin", 1);
    auto script = make({"@echo off", "netsh interface ip set dns \"norvane-test-no-such\" dhcp"});
    const script_run run = create_posix_shell(NORVANE_CMD_PATH)->run_script(*script, 0);
    ::setenv("PATH", kept.c_str(), 1);
    EXPECT_EQ(run.result, script_run::status::finished);
    EXPECT_NE(run.exit_status, 0);  // no connection of that name, or no NetworkManager here
    EXPECT_FALSE(fs::exists("planted")) << run.reason;

    fs::create_directories("a");
    fs::create_directories("b");
    write_bytes("b/nmcli", "");
    write_bytes("c", "");
    fs::permissions("c", fs::perms::owner_all);
    fs::permissions("b/nmcli", fs::perms::owner_all);
    const std::string here = dir_.path().string() + "/";
    const struct {
        std::vector<std::string> places;
        std::string found;
    } rows[] = {
        {{here + "a/nmcli", here + "b/nmcli"}, here + "b/nmcli"},
        {{here + "a", here + "c"}, here + "c"},  // a folder is no program
        {{here + "a/nmcli", here + "x/nmcli"}, here + "a/nmcli"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(nmcli_program(row.places), row.found);
    }
    EXPECT_TRUE(nmcli_program().starts_with('/'));
}

}  // namespace
}  // namespace norvane::host
