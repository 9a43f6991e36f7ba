// The shell on this host: command scripts run in the interpreter named by NORVANE_CMD, other
// targets go to xdg-open; here both are small sh scripts that record how they were started.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>
#include <utility>

#include "host/host.h"

namespace norvane::host {
namespace {

namespace fs = std::filesystem;

std::string read_text(const fs::path& file) {
    std::stringstream text;
    text << std::ifstream(file).rdbuf();
    return text.str();
}

bool wait_until(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

// The interpreter writes its argument, directory, stdin and whether it leads its own session
// to "log" beside it, then waits for "release"; the opener writes its pid and target.
const std::pair<const char*, const char*> programs[] = {
    {"fake-cmd", R"sh(read -r pid _ _ _ _ sid _ < /proc/$$/stat
printf '%s|%s|%s|%s\n' "$1" "$PWD" "$(readlink /proc/$$/fd/0)" \
    "$([ "$pid" = "$sid" ] && echo leader)" > "${0%/*}/log"
while [ ! -e "${0%/*}/release" ]; do sleep 0.02; done
)sh"},
    {"xdg-open", R"sh(echo "$$ $1" > "${0%/*}/opened")sh"},
};

// Each test runs in a fresh temporary directory that is the current directory.
class shell_posix : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/norvane-shell-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        fs::current_path(dir_ = pattern);
        for (const auto& [name, body] : programs) {
            std::ofstream(name) << "#!/bin/sh\n" << body << "\n";
            fs::permissions(name, fs::perms::owner_all);
        }
        ::setenv("NORVANE_CMD", (dir_ / "fake-cmd").c_str(), 1);
        // The test's own stdin is a file, so that /dev/null in a started program is the shell's.
        const int file = ::open("fake-cmd", O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::dup2(file, 0), 0);
        ::close(file);
    }
    void TearDown() override {
        ::dup2(stdin_, 0);
        ::close(stdin_);
        ::setenv("PATH", path_.c_str(), 1);
        ::unsetenv("NORVANE_CMD");
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    static shell_execute_info launch(const std::string& file,
                                     const std::optional<std::string>& directory = {}) {
        shell_execute_info info;
        info.fMask = see_mask_nocloseprocess;
        info.lpFile = file;
        info.lpDirectory = directory;
        return info;
    }

    fs::path dir_, previous_ = fs::current_path();
    const int stdin_ = ::dup(0);
    const std::string path_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    std::unique_ptr<shell> shell_ = create_shell();
};

TEST_F(shell_posix, a_script_runs_in_a_session_of_its_own_and_is_waited_for) {
    fs::create_directory("folder");
    const std::pair<std::string, std::optional<std::string>> rows[] = {
        {"cmd_tmp.cmd", std::nullopt},
        {"RUN.BAT", std::nullopt},
        {"x.Cmd", (dir_ / "folder").string()}};
    for (const auto& [file, directory] : rows) {
        fs::remove("release");
        shell_execute_info info = launch(file, directory);
        ASSERT_NE(shell_->ShellExecuteEx(info), 0) << file;
        EXPECT_EQ(shell_->WaitForSingleObject(info.hProcess, 30), 0x102u) << "still running";
        std::ofstream("release").put('x');
        EXPECT_EQ(shell_->WaitForSingleObject(info.hProcess, infinite), wait_object_0);
        EXPECT_EQ(shell_->WaitForSingleObject(info.hProcess, 0), wait_object_0) << "stays ended";
        EXPECT_EQ(read_text("log"),
                  file + "|" + directory.value_or(dir_.string()) + "|/dev/null|leader\n");
        EXPECT_TRUE(shell_->CloseHandle(info.hProcess));
        EXPECT_FALSE(shell_->CloseHandle(info.hProcess));
        EXPECT_EQ(shell_->WaitForSingleObject(info.hProcess, infinite), 0xFFFFFFFFu);
    }
}

// Other targets go to the desktop's opener, which is not waited for but reaped.
TEST_F(shell_posix, other_targets_go_to_the_opener_and_what_cannot_start_gives_zero) {
    ::setenv("PATH", dir_.c_str(), 1);
    shell_execute_info info = launch("https://example.invalid/a?b=c");
    ASSERT_NE(shell_->ShellExecuteEx(info), 0);
    ASSERT_TRUE(wait_until([] { return read_text("opened").ends_with('\n'); }));
    std::istringstream opened(read_text("opened"));
    std::string pid;
    std::string target;
    opened >> pid >> target;
    EXPECT_EQ(target, "https://example.invalid/a?b=c");
    EXPECT_TRUE(wait_until([&] { return !fs::exists("/proc/" + pid); })) << "left a zombie";

    // Not executable any more: it can start neither as the opener nor as the interpreter.
    fs::permissions("xdg-open", fs::perms::owner_read);
    for (const auto& [interpreter, file] :
         {std::pair{"missing", "cmd_tmp.cmd"}, std::pair{"xdg-open", "cmd_tmp.cmd"},
          std::pair{"fake-cmd", "mailto:someone@example.invalid"}}) {
        ::setenv("NORVANE_CMD", (dir_ / interpreter).c_str(), 1);
        info = launch(file);
        EXPECT_EQ(shell_->ShellExecuteEx(info), 0) << interpreter << " " << file;
        EXPECT_EQ(info.hProcess, 0u);
    }
    EXPECT_EQ(shell_->WaitForSingleObject(12345, infinite), 0xFFFFFFFFu);
    EXPECT_FALSE(shell_->CloseHandle(12345));
}

}  // namespace
}  // namespace norvane::host
