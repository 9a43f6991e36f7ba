// The shell on this host: command scripts run in the interpreter named by NORVANE_CMD (here a
// small sh script that records how it was started), other targets go to xdg-open.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/host.h"

namespace norvane::host {
namespace {

namespace fs = std::filesystem;

std::string read_text(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_program(const fs::path& file, const std::string& body) {
    std::ofstream(file) << "#!/bin/sh\n" << body;
    fs::permissions(file, fs::perms::owner_all);
}

bool wait_until(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

class shell_posix : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/norvane-shell-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        save("NORVANE_CMD");
        save("PATH");
        // The interpreter records its argument, directory, stdin and whether it leads its own
        // session, then waits for the test to let it end.
        write_program(dir_ / "fake-cmd",
                      "read -r pid _ _ _ _ sid _ < /proc/$$/stat\n"
                      "printf '%s|%s|%s|%s\\n' \"$1\" \"$PWD\" \"$(readlink /proc/$$/fd/0)\" "
                      "\"$([ \"$pid\" = \"$sid\" ] && echo leader)\" > \"$1.log\"\n"
                      "while [ ! -e \"$1.release\" ]; do sleep 0.02; done\n");
        setenv("NORVANE_CMD", (dir_ / "fake-cmd").c_str(), 1);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        }
        fs::remove_all(dir_);
    }
    void save(const std::string& name) {
        const char* value = std::getenv(name.c_str());
        saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    shell_execute_info script_launch(const std::string& file) {
        shell_execute_info info;
        info.fMask = see_mask_nocloseprocess;
        info.lpVerb = "Open";
        info.lpFile = file;
        info.lpDirectory = dir_.string();
        info.nShow = sw_hide;
        return info;
    }

    fs::path dir_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
    std::unique_ptr<shell> shell_ = create_shell();
};

TEST_F(shell_posix, a_script_runs_detached_in_the_interpreter_and_is_waited_for) {
    for (const std::string file : {"cmd_tmp.cmd", "RUN.BAT", "x.Cmd"}) {
        shell_execute_info info = script_launch(file);
        ASSERT_NE(shell_->ShellExecuteEx(info), 0) << file;
        ASSERT_NE(info.hProcess, 0u);
        ASSERT_TRUE(wait_until([&] { return fs::exists(dir_ / (file + ".log")); })) << file;
        EXPECT_EQ(shell_->WaitForSingleObject(info.hProcess, 30), 0x102u) << "still running";
        std::ofstream(dir_ / (file + ".release")).put('x');
        EXPECT_EQ(shell_->WaitForSingleObject(info.hProcess, infinite), wait_object_0);
        EXPECT_EQ(shell_->WaitForSingleObject(info.hProcess, 0), wait_object_0) << "stays ended";
        EXPECT_EQ(read_text(dir_ / (file + ".log")),
                  file + "|" + dir_.string() + "|/dev/null|leader\n");
        EXPECT_TRUE(shell_->CloseHandle(info.hProcess));
        EXPECT_FALSE(shell_->CloseHandle(info.hProcess));
        EXPECT_EQ(shell_->WaitForSingleObject(info.hProcess, infinite), 0xFFFFFFFFu);
    }
}

TEST_F(shell_posix, a_script_without_directory_runs_in_the_current_one) {
    const fs::path previous = fs::current_path();
    fs::current_path(dir_);
    shell_execute_info info = script_launch("cmd_tmp.cmd");
    info.lpDirectory.reset();
    std::ofstream(dir_ / "cmd_tmp.cmd.release").put('x');
    const int started = shell_->ShellExecuteEx(info);
    fs::current_path(previous);
    ASSERT_NE(started, 0);
    EXPECT_EQ(shell_->WaitForSingleObject(info.hProcess, infinite), wait_object_0);
    EXPECT_EQ(read_text(dir_ / "cmd_tmp.cmd.log").substr(0, 13 + dir_.string().size()),
              "cmd_tmp.cmd|" + dir_.string() + "|");
    EXPECT_TRUE(shell_->CloseHandle(info.hProcess));
}

TEST_F(shell_posix, an_interpreter_that_cannot_run_gives_zero) {
    std::ofstream(dir_ / "not-executable") << "#!/bin/sh\n";
    for (const fs::path& interpreter : {dir_ / "missing", dir_ / "not-executable"}) {
        setenv("NORVANE_CMD", interpreter.c_str(), 1);
        shell_execute_info info = script_launch("cmd_tmp.cmd");
        EXPECT_EQ(shell_->ShellExecuteEx(info), 0) << interpreter;
        EXPECT_EQ(info.hProcess, 0u);
    }
    EXPECT_EQ(shell_->WaitForSingleObject(12345, infinite), 0xFFFFFFFFu);
    EXPECT_FALSE(shell_->CloseHandle(12345));
}

TEST_F(shell_posix, other_targets_go_to_the_desktop_opener_which_is_reaped) {
    write_program(dir_ / "xdg-open", "echo \"$$ $1\" > \"" + (dir_ / "opened").string() + "\"\n");
    setenv("PATH", dir_.c_str(), 1);
    shell_execute_info info = script_launch("https://example.invalid/a?b=c");
    ASSERT_NE(shell_->ShellExecuteEx(info), 0);
    ASSERT_TRUE(
        wait_until([&] { return read_text(dir_ / "opened").find('\n') != std::string::npos; }));
    std::istringstream opened(read_text(dir_ / "opened"));
    std::string pid;
    std::string target;
    opened >> pid >> target;
    EXPECT_EQ(target, "https://example.invalid/a?b=c");
    EXPECT_TRUE(wait_until([&] { return !fs::exists("/proc/" + pid); })) << "left a zombie";

    fs::remove(dir_ / "xdg-open");
    info = script_launch("mailto:someone@example.invalid");
    EXPECT_EQ(shell_->ShellExecuteEx(info), 0);
}

}  // namespace
}  // namespace norvane::host
