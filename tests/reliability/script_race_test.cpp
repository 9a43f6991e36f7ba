// Submit's command script in a folder another user may write to, as root, while that user
// keeps putting their own cmd_tmp.cmd in its way: their file made in the moment the name is
// free, a symbolic link to a file of root's, and (where the folder lets them) their file
// renamed over the script between its write and its run. The interpreter is a stand-in that
// copies out the script it was given to run: by the descriptor it is handed, or by the name.
// No run may see anything but the program's own lines, and no file of root's outside the
// folder may change.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>

#include "host/cp932.h"
#include "host/platform.h"
#include "host/posix/shell_posix.h"
#include "netconfig/network_script.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;
using testing::read_bytes;
using testing::write_bytes;

constexpr int rounds = 500;                     // for each folder
constexpr std::chrono::seconds time_limit{25};  // for each folder, whatever the rounds
constexpr uid_t other_user = 65534;

const std::string foreign =
    "@echo off\r\nnetsh interface ip set dns \"other\" static 192.0.2.66\r\n";

// Another user's loop, until it is killed: their file made under the script's name whenever
// it is free, a symbolic link from it to root's file, their file renamed over it.
[[noreturn]] void keep_taking_the_name(const std::string& root_file) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(other_user, other_user, other_user) != 0 ||
        ::setresuid(other_user, other_user, other_user) != 0) {
        ::_exit(99);
    }
    const std::string own = "their." + std::to_string(::getpid());
    const auto start = std::chrono::steady_clock::now();
    for (unsigned n = 0;; ++n) {
        // By turns busy and quiet for 2 ms, so that some runs start in a quiet moment and meet
        // the other user only while they run, and others in the thick of it.
        const auto since = std::chrono::steady_clock::now() - start;
        if (std::chrono::duration_cast<std::chrono::milliseconds>(since).count() / 2 % 2 == 1) {
            ::usleep(100);
            continue;
        }
        const int fd = ::open("cmd_tmp.cmd", O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            if (::write(fd, foreign.data(), foreign.size()) < 0) {
                ::_exit(98);
            }
            ::close(fd);
        }
        if (n % 4 == 1 && ::symlink(root_file.c_str(), "cmd_tmp.cmd") == 0) {
            continue;
        }
        const int swap = ::open(own.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (swap >= 0) {
            if (::write(swap, foreign.data(), foreign.size()) < 0) {
                ::_exit(98);
            }
            ::close(swap);
            ::rename(own.c_str(), "cmd_tmp.cmd");  // refused in a sticky folder
        }
    }
}

struct tally {
    int runs = 0;     // the script ran (the stand-in read something)
    int own = 0;      // ... and it was exactly the program's script
    int taken = 0;    // ... while the other user put their file under the name
    int refused = 0;  // "cmd_tmp.cmd を作成できません。": nothing ran
    int failed = 0;   // a file error: nothing ran
    int rounds = 0;
};

TEST(reliability, another_user_never_gets_a_line_into_submits_script) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "another user's part is played by a child that becomes user 65534, "
                        "which takes root";
    }
    testing::temp_dir dir;
    // The other user must reach the shared folders inside.
    fs::permissions(dir.path(),
                    fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const std::string ran = (dir.path() / "ran").string();
    const std::string root_file = (dir.path() / "root-only").string();
    write_bytes(root_file, "root's own\n");
    const std::string interpreter = (dir.path() / "stand-in").string();
    write_bytes(interpreter,
                "#!/bin/sh\n"
                "if [ \"$1\" = --script-fd ]; then cat <&3; else cat \"$1\"; fi > " +
                    ran + "\n");
    fs::permissions(interpreter, fs::perms::owner_all);

    const profile_record record{"P", "norvane-race", "", "", "", "", "", "", "1"};
    std::string script;
    for (const std::string& line : build_script_lines(record)) {
        if (!line.empty()) {
            script += host::to_cp932(line) + "\r\n";
        }
    }
    const auto files = host::create_file_system();
    const auto shell = host::create_posix_shell(interpreter);

    for (const fs::perms mode : {fs::perms::all | fs::perms::sticky_bit, fs::perms::all}) {
        const bool sticky = (mode & fs::perms::sticky_bit) != fs::perms::none;
        SCOPED_TRACE(sticky ? "folder mode 1777" : "folder mode 0777");
        const fs::path shared = dir.path() / (sticky ? "sticky" : "open");
        fs::create_directory(shared);
        fs::permissions(shared, mode);
        fs::current_path(shared);
        const pid_t other = ::fork();
        if (other == 0) {
            keep_taking_the_name(root_file);
        }
        ASSERT_GT(other, 0);

        tally t;
        const auto start = std::chrono::steady_clock::now();
        for (; t.rounds < rounds && std::chrono::steady_clock::now() - start < time_limit;
             ++t.rounds) {
            fs::remove(ran);
            const network_run run = run_network_script(record, 0, *files, *shell);
            const bool read = fs::exists(ran);
            t.runs += read ? 1 : 0;
            t.own += read && read_bytes(ran) == script ? 1 : 0;
            // The program removes its own script after the run: what is there now is theirs.
            t.taken += read && fs::exists(fs::symlink_status("cmd_tmp.cmd")) ? 1 : 0;
            t.refused += run.result == network_run::status::name_taken ? 1 : 0;
            t.failed += run.result == network_run::status::failed ? 1 : 0;
            EXPECT_TRUE(run.result != network_run::status::finished || read);
        }
        ::kill(other, SIGKILL);
        int status = 0;
        ::waitpid(other, &status, 0);
        fs::current_path(dir.path());
        std::cout << (sticky ? "mode 1777: " : "mode 0777: ") << t.rounds << " rounds, " << t.runs
                  << " runs (" << t.taken << " with their file under the name afterwards), "
                  << t.runs - t.own << " of them with another user's content, " << t.refused
                  << " refused (name taken), " << t.failed << " file errors\n";

        EXPECT_TRUE(WIFSIGNALED(status)) << "the other user's loop stopped by itself";
        EXPECT_EQ(t.runs, t.own) << "runs that read something else than the program's script";
        EXPECT_EQ(read_bytes(root_file), "root's own\n");
        EXPECT_GE(t.rounds, 100);
        EXPECT_GE(t.own, t.rounds / 10) << "too few runs to tell";
    }
}

}  // namespace
}  // namespace norvane
