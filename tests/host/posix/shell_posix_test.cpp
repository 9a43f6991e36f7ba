// The shell on this host: command scripts run in the interpreter it was given, addresses go
// to the opener; here both are small sh scripts that record how they were started.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "host/host.h"
#include "host/platform.h"
#include "host/posix/process_runner.h"
#include "host/posix/shell_posix.h"
#include "support/temp_dir.h"

namespace norvane::host {
namespace {

namespace fs = std::filesystem;

bool wait_until(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

// The interpreter writes its arguments, directory, stdin, whether it leads its own session and
// what it reads from descriptor 3 to "log" beside it, then exits with the status written in
// "status"; the opener writes its pid and target.
const std::pair<const char*, const char*> programs[] = {
    {"fake-cmd", R"sh(read -r pid _ _ _ _ sid _ < /proc/$$/stat
printf '%s|%s|%s|%s|%s\n' "$*" "$PWD" "$(readlink /proc/$$/fd/0)" \
    "$([ "$pid" = "$sid" ] && echo leader)" "$(cat <&3)" > "${0%/*}/log"
status=$(cat "${0%/*}/status")
[ "$status" = 0 ] || printf 'nmcli said something\n理由 %s\n\n' "$status" >&2
exit "$status"
)sh"},
    {"xdg-open", R"sh(echo "$$ $1" > "${0%/*}/opened")sh"},
};

// Each test runs in a fresh temporary directory that is the current directory.
class shell_posix : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const auto& [name, body] : programs) {
            std::ofstream(name) << "#!/bin/sh\n" << body << "\n";
            fs::permissions(name, fs::perms::owner_all);
        }
        // The test's own stdin is a file, so that /dev/null in a started program is the shell's.
        const int file = ::open("fake-cmd", O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::dup2(file, 0), 0);
        ::close(file);
    }
    void TearDown() override {
        ::dup2(stdin_, 0);
        ::close(stdin_);
        ::setenv("PATH", path_.c_str(), 1);
    }
    std::unique_ptr<shell> shell_for(const std::string& interpreter) const {
        return create_posix_shell((dir_ / interpreter).string(), "xdg-open");
    }
    std::unique_ptr<command_script> script(const std::string& name,
                                           const std::string& line = "@echo off") {
        return files_->create_command_script(name, {line});
    }

    std::unique_ptr<file_system> files_ = create_file_system();

    testing::temp_dir temp_;
    const fs::path& dir_ = temp_.path();
    const int stdin_ = ::dup(0);
    const std::string path_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
};

// The interpreter is handed the script it runs as descriptor 3, whatever the name leads to by
// then; the name only names it.
TEST_F(shell_posix, a_script_runs_in_a_session_of_its_own_and_its_exit_status_comes_back) {
    const auto shell = shell_for("fake-cmd");
    const std::pair<std::string, int> rows[] = {{"cmd_tmp.cmd", 0}, {"RUN.BAT", 3}, {"x.Cmd", 255}};
    for (const auto& [file, status] : rows) {
        std::ofstream("status") << status;
        const auto held = script(file, "echo " + file);
        testing::write_bytes("other", "echo someone else's");
        fs::rename("other", file);
        const script_run run = shell->run_script(*held, 0x1234);
        EXPECT_EQ(run.result, script_run::status::finished) << file;
        EXPECT_EQ(run.exit_status, status) << file;
        // The last line the interpreter wrote to stderr is the reason of a failed run.
        EXPECT_EQ(run.reason, status == 0 ? "" : "理由 " + std::to_string(status)) << file;
        EXPECT_EQ(testing::read_bytes("log"), "--script-fd 3 " + file + "|" + dir_.string() +
                                                  "|/dev/null|leader|echo " + file + "\r\n");
    }
}

// A descriptor handed to a program is number 3 there whatever its number here, 3 included
// (a dup2 onto itself would leave it to be closed on exec).
TEST_F(shell_posix, a_descriptor_is_handed_over_as_number_3_whatever_its_number_here) {
    std::ofstream("status") << 0;
    testing::write_bytes("handed", "echo handed");
    const int opened = ::open("handed", O_RDONLY | O_CLOEXEC);
    const int file = ::fcntl(opened, F_DUPFD_CLOEXEC, 300);  // above the numbers tried
    ::close(opened);
    ASSERT_GE(file, 300);
    for (const int number : {3, 4, 100}) {
        // Whatever the test holds under the number is put aside for the while.
        const int aside = ::fcntl(number, F_DUPFD_CLOEXEC, 200);
        ASSERT_EQ(::dup3(file, number, O_CLOEXEC), number);
        ::lseek(file, 0, SEEK_SET);  // the fake reads from where the last one stopped
        const process_result ended =
            run_process({(dir_ / "fake-cmd").string(), "x"},
                        {.search_path = false, .new_session = true, .environment = {}}, number);
        EXPECT_EQ(ended.exit_status, 0) << number;
        EXPECT_TRUE(testing::read_bytes("log").ends_with("|echo handed\n"))
            << number << ": " << testing::read_bytes("log");
        if (aside >= 0) {
            ::dup3(aside, number, O_CLOEXEC);
            ::close(aside);
        } else {
            ::close(number);
        }
    }
    ::close(file);
}

// The environment chooses nothing: the interpreter is the one the shell was made with.
TEST_F(shell_posix, the_environment_does_not_choose_the_interpreter) {
    ::setenv("NORVANE_CMD", (dir_ / "fake-cmd").c_str(), 1);
    std::ofstream("status") << 0;
    const auto run = shell_for("missing")->run_script(*script("cmd_tmp.cmd"), 0);
    ::unsetenv("NORVANE_CMD");
    EXPECT_EQ(run.result, script_run::status::not_started);
    EXPECT_FALSE(fs::exists("log"));
}

// Addresses go to the desktop's opener, which is not waited for but reaped.
TEST_F(shell_posix, addresses_go_to_the_opener_and_what_cannot_start_fails) {
    ::setenv("PATH", dir_.c_str(), 1);
    const auto shell = shell_for("fake-cmd");
    ASSERT_TRUE(shell->open_address("https://example.invalid/a?b=c", 0));
    ASSERT_TRUE(wait_until([] { return testing::read_bytes("opened").ends_with('\n'); }));
    std::istringstream opened(testing::read_bytes("opened"));
    std::string pid;
    std::string target;
    opened >> pid >> target;
    EXPECT_EQ(target, "https://example.invalid/a?b=c");
    EXPECT_TRUE(wait_until([&] { return !fs::exists("/proc/" + pid); })) << "left a zombie";

    // Not executable any more: it can start neither as the opener nor as the interpreter.
    fs::permissions("xdg-open", fs::perms::owner_read);
    EXPECT_FALSE(shell->open_address("mailto:someone@example.invalid", 0));
    EXPECT_FALSE(shell->open_address("", 0));
    for (const char* interpreter : {"missing", "xdg-open"}) {
        EXPECT_EQ(shell_for(interpreter)->run_script(*script("cmd_tmp.cmd"), 0).result,
                  script_run::status::not_started)
            << interpreter;
    }
}

}  // namespace
}  // namespace norvane::host
