// profile.dat under faults on Linux itself: a full disk, and two copies of the program changing
// the file at once. After each, the file holds exactly the old content or exactly the new one,
// the new one exactly when the command says it succeeded; no line is lost or doubled. (Every
// call of the file component failing in turn: tests/host/text_protocol_test.cpp.)
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <string>

#include "host/platform.h"
#include "profiles/profile_store.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;
using testing::read_bytes;
using testing::write_bytes;

const std::string old_content = "A,1\r\nB,\x87\x90\r\n\xFF,raw\r\nC,3\r\n";

// The three commands, and the content each leaves when it succeeds.
struct command {
    const char* name;
    std::string (*after)(const std::string& old);
    store_result (*run)(host::file_system& files, profile_table& table);
};
const command commands[] = {
    {"append", [](const std::string& old) { return old + "D,c,,,,,,,1\r\n"; },
     [](host::file_system& f, profile_table& t) {
         return save_profile(f, t, {"D", "c", "", "", "", "", "", "", "1"}, false);
     }},
    {"overwrite",
     [](const std::string& old) { return "A,1\r\nB,c,,,,,,,1\r\n" + old.substr(old.find("\xFF")); },
     [](host::file_system& f, profile_table& t) {
         return save_profile(f, t, {"B", "c", "", "", "", "", "", "", "1"}, true);
     }},
    {"delete", [](const std::string& old) { return old.substr(5); },
     [](host::file_system& f, profile_table& t) { return delete_profile(f, t, "A"); }},
};

// Runs body in a child process, as user nobody when ordinary is true; answers its result.
int in_child(bool ordinary, const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(ordinary && (::setgid(65534) != 0 || ::setuid(65534) != 0) ? 99 : body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A full disk: each command on a small file system of the test's own, with less and less room.
TEST(reliability, a_full_disk_leaves_the_old_file_or_the_new_one) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "a small file system of the test's own can only be mounted by root";
    }
    testing::temp_dir dir;
    const int result = in_child(false, [] {
        // A mount namespace of the child's own: the mount goes with it.
        if (::unshare(CLONE_NEWNS) != 0) {
            return 98;
        }
        // Without a private / the tmpfs would show in every other mount namespace too; / can
        // only be made private where it is a mount point (not in a plain chroot).
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            return 96;
        }
        if (::mount("tmpfs", ".", "tmpfs", 0, "size=256k") != 0 ||
            ::chdir(fs::current_path().c_str()) != 0) {
            return 95;
        }
        auto files = host::create_file_system();
        // Exactly ten pages: an append needs a page more.
        const std::string old =
            old_content + std::string(40960 - old_content.size() - 2, 'x') + "\r\n";
        int broken = 0;
        int failed = 0;
        for (const auto& c : commands) {
            for (int free_kib = 0; free_kib <= 48; free_kib += 4) {
                for (const auto& entry : fs::directory_iterator(".")) {
                    fs::remove(entry.path());
                }
                write_bytes("profile.dat", old);
                const auto room = fs::space(".").available;
                write_bytes("filler",
                            std::string(room - static_cast<std::size_t>(free_kib) * 1024, 'f'));
                profile_table table;
                std::string error;
                load_profiles(*files, table, error);
                const auto outcome = c.run(*files, table);
                const bool done = outcome.result == store_result::status::done;
                failed += done ? 0 : 1;
                const std::string left = read_bytes("profile.dat");
                broken += (done ? left == c.after(old) : left == old && outcome.error_number == 61)
                              ? 0
                              : 1;
            }
        }
        std::cout << failed << " of " << 3 * 13 << " commands met a full disk" << std::endl;
        return broken > 0 ? 100 + broken : (failed == 0 ? 97 : 0);
    });
    if (result == 98) {
        GTEST_SKIP() << "no mount namespace of the test's own here";
    }
    if (result == 96) {
        GTEST_SKIP() << "/ is not a mount point here (a chroot?), so a mount cannot be kept "
                        "private to the test";
    }
    EXPECT_EQ(result, 0)
        << "95: no tmpfs could be mounted; 97: the disk was never full; 100 + n: n "
           "commands broke the rule";
}

// Two copies of the program saving and deleting in the same file at once, as fast as they
// can: each adds its own profiles, deletes every other one again, and overwrites a profile
// both share. A command may find the file held by the other copy for longer than the wait
// (70); then the copy goes on with its next round, as a user would. At the end the file holds
// every profile whose save succeeded and whose delete did not, exactly once.
TEST(reliability, two_copies_saving_and_deleting_lose_and_double_nothing) {
    testing::temp_dir dir;
    write_bytes("profile.dat", "shared,0\r\n");
    constexpr int rounds = 150;
    const auto copy = [](char who) {
        return [who] {
            auto files = host::create_file_system();
            profile_table table;
            std::string error, kept;
            const auto done = [](const store_result& r) {
                return r.result == store_result::status::done;
            };
            for (int r = 0; r < rounds; ++r) {
                std::string name = std::to_string(r);
                name.insert(name.begin(), who);
                const profile_record mine{name, "c", "", "", "", "", "", "", "1"};
                const profile_record shared{"shared", name, "", "", "", "", "", "", "1"};
                if (!load_profiles(*files, table, error) ||
                    !done(save_profile(*files, table, mine, false))) {
                    continue;
                }
                save_profile(*files, table, shared, true);
                if (r % 2 == 1 || !load_profiles(*files, table, error) ||
                    !done(delete_profile(*files, table, name))) {
                    kept += name + "\n";
                }
            }
            write_bytes(std::string("kept-") + who, kept);
            return 0;
        };
    };
    const pid_t first = ::fork();
    if (first == 0) {
        ::_exit(copy('x')());
    }
    EXPECT_EQ(in_child(false, copy('y')), 0);
    ::waitpid(first, nullptr, 0);
    std::map<std::string, int> seen, expected{{"shared", 1}};
    const auto count_lines = [](const std::string& text, const std::string& end,
                                std::map<std::string, int>& into) {
        for (std::size_t start = 0, at; (at = text.find(end, start)) != std::string::npos;
             start = at + end.size()) {
            ++into[profile_name_of(text.substr(start, at - start))];
        }
    };
    count_lines(read_bytes("profile.dat"), "\r\n", seen);
    count_lines(read_bytes("kept-x") + read_bytes("kept-y"), "\n", expected);
    EXPECT_EQ(seen, expected);
    EXPECT_GT(expected.size(), rounds / 2);  // most commands got through
    std::cout << expected.size() - 1 << " of " << rounds
              << " profiles kept (all of them when no command met 70)\n";
}

}  // namespace
}  // namespace norvane
