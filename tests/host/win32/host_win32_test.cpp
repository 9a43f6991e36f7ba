// The Windows side of the host layer where it meets Windows itself, run under Wine: the
// version query, command scripts run hidden through the shell with their exit codes, the
// read-only attribute that a process running as root under Wine would write through, a full
// disk, and the two ways a rewrite replaces the file.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <utility>

#include "host/host.h"
#include "host/platform.h"
#include "host/win32/file_port_win32.h"
#include "support/temp_dir.h"

namespace norvane::host {
namespace {

using testing::read_bytes;
using testing::write_bytes;

// The version as the test run set it (NORVANE_EXPECT_VERSION, "major.minor"), else skipped.
TEST(version_win32, reports_the_version_windows_reports) {
    const char* expected = std::getenv("NORVANE_EXPECT_VERSION");
    if (expected == nullptr) {
        GTEST_SKIP() << "NORVANE_EXPECT_VERSION not set";
    }
    const os_version version = query_os_version();
    EXPECT_EQ(version.platform_id, 2u);
    EXPECT_EQ(std::to_string(version.major_version) + "." + std::to_string(version.minor_version),
              expected);
}

class shell_win32 : public ::testing::Test {
  protected:
    testing::temp_dir dir_;
    std::unique_ptr<shell> shell_ = create_shell();
    std::unique_ptr<file_system> files_ = create_file_system();
};

// A script by name only, as none the program made: one that is not there, or no name.
class named_script final : public command_script {
  public:
    explicit named_script(std::string name) : name_(std::move(name)) {}
    const std::string& name() const override { return name_; }
    std::intptr_t descriptor() const override { return -1; }
    void remove() override {}

  private:
    std::string name_;
};

// The script runs in the current folder, hidden, and is waited for: what it writes is there
// when run_script returns, and its exit code comes back. cmd.exe opens it while the program
// holds it, sharing reading alone.
TEST_F(shell_win32, runs_a_script_to_its_end_and_reads_its_exit_code) {
    for (const int code : {0, 3, 255}) {
        const auto script = files_->create_command_script(
            "t.cmd", {"@echo off", "echo ran> out.txt", "exit " + std::to_string(code)});
        ASSERT_TRUE(script);
        const script_run run = shell_->run_script(*script, 0);
        EXPECT_EQ(run.result, script_run::status::finished);
        EXPECT_EQ(run.exit_status, code);
        EXPECT_EQ(read_bytes("out.txt"), "ran\r\n");
        std::filesystem::remove("out.txt");
    }
}

// The shell tells the user itself that a target is missing (the launch record asks for no
// silence): its box is answered here as a user would.
class shell_boxes_answered {
  public:
    shell_boxes_answered() : thread_(CreateThread(nullptr, 0, watch, this, 0, nullptr)) {}
    ~shell_boxes_answered() {
        stop_ = true;
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
    }
    shell_boxes_answered(const shell_boxes_answered&) = delete;
    shell_boxes_answered& operator=(const shell_boxes_answered&) = delete;

  private:
    static DWORD WINAPI watch(void* self) {
        auto* me = static_cast<shell_boxes_answered*>(self);
        while (!me->stop_) {
            HWND box = FindWindowW(L"#32770", nullptr);
            DWORD pid = 0;
            GetWindowThreadProcessId(box, &pid);
            if (box != nullptr && pid == GetCurrentProcessId() && IsWindowVisible(box)) {
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
            Sleep(50);
        }
        return 0;
    }
    volatile bool stop_ = false;
    HANDLE thread_;
};

TEST_F(shell_win32, a_script_that_cannot_be_started_is_not_started) {
    const shell_boxes_answered answered;
    named_script missing("missing.cmd");
    named_script unnamed("");
    EXPECT_EQ(shell_->run_script(missing, 0).result, script_run::status::not_started);
    EXPECT_EQ(shell_->run_script(unnamed, 0).result, script_run::status::not_started);
    EXPECT_FALSE(shell_->open_address("", 0));
    EXPECT_FALSE(shell_->open_address("missing-file.xyz", 0));
}

// Command scripts are written in the console code page, the one cmd.exe reads them in: 932
// on the Japanese systems the program targets (the test run's Japanese locale), another one
// elsewhere (437 under Wine's C locale), where a name it cannot hold is refused.
// NORVANE_EXPECT_OEMCP says which one the run set up.
TEST(code_pages_win32, command_scripts_are_written_in_the_console_code_page) {
    const char* expected = std::getenv("NORVANE_EXPECT_OEMCP");
    if (expected == nullptr) {
        GTEST_SKIP() << "NORVANE_EXPECT_OEMCP not set";
    }
    ASSERT_EQ(std::to_string(GetOEMCP()), expected);
    testing::temp_dir dir;
    auto files = create_file_system();
    if (GetOEMCP() == 932) {
        const auto script = files->create_command_script("cmd_tmp.cmd", {"ローカル エリア接続"});
        ASSERT_TRUE(script);
        EXPECT_EQ(
            read_bytes("cmd_tmp.cmd"),
            "\x83\x8D\x81\x5B\x83\x4A\x83\x8B\x20\x83\x47\x83\x8A\x83\x41\x90\xDA\x91\xB1\r\n");
        EXPECT_TRUE(files->can_store_in_command_script("ローカル エリア接続"));
        return;
    }
    ASSERT_EQ(GetOEMCP(), 437u);
    // A line that cannot be written stops the script before any file is made.
    EXPECT_THROW(files->create_command_script("cmd_tmp.cmd", {"Café", "ローカル エリア接続"}),
                 host_error);
    EXPECT_FALSE(std::filesystem::exists("cmd_tmp.cmd"));
    const auto script = files->create_command_script("cmd_tmp.cmd", {"Café"});
    ASSERT_TRUE(script);
    EXPECT_EQ(read_bytes("cmd_tmp.cmd"), "Caf\x82\r\n");
    EXPECT_TRUE(files->can_store_in_command_script("Café"));
    EXPECT_FALSE(files->can_store_in_command_script("ローカル エリア接続"));
    // profile.dat stays code page 932 whatever the console's.
    EXPECT_TRUE(files->can_store("ローカル エリア接続"));
}

// While the program holds its script nobody can write it, delete it or put another file under
// its name; it can be opened for reading as cmd.exe opens a batch file (Wine's cmd: read access
// sharing reading, writing and deletion; older ones: sharing reading alone). Once let go, it
// can be removed.
TEST_F(shell_win32, a_held_script_can_be_read_but_not_changed_replaced_or_deleted) {
    write_bytes("cmd_tmp.cmd", "someone else's\r\n");
    auto script = files_->create_command_script("cmd_tmp.cmd", {"@echo off"});
    ASSERT_TRUE(script);
    const DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const struct {
        const char* what;
        DWORD access;
        DWORD share;
        bool opens;
    } opens[] = {
        {"reading, as cmd.exe", GENERIC_READ, share_all, true},
        {"reading, sharing reading alone", GENERIC_READ, FILE_SHARE_READ, true},
        {"writing", GENERIC_WRITE, share_all, false},
        {"appending", FILE_APPEND_DATA, share_all, false},
        {"deleting", DELETE, share_all, false},
        {"reading, sharing nothing", GENERIC_READ, 0, false},
    };
    for (const auto& open : opens) {
        const HANDLE h = CreateFileW(L"cmd_tmp.cmd", open.access, open.share, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, open.opens) << open.what;
        if (h == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION)) << open.what;
        } else {
            CloseHandle(h);
        }
    }
    write_bytes("other.cmd", "someone else's\r\n");
    EXPECT_FALSE(DeleteFileW(L"cmd_tmp.cmd"));
    EXPECT_FALSE(MoveFileExW(L"other.cmd", L"cmd_tmp.cmd", MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(MoveFileW(L"cmd_tmp.cmd", L"moved.cmd"));
    // Another copy of the program cannot take the name from it either.
    EXPECT_FALSE(files_->create_command_script("cmd_tmp.cmd", {"@echo off"}));
    EXPECT_EQ(read_bytes("cmd_tmp.cmd"), "@echo off\r\n");
    script->remove();
    EXPECT_FALSE(std::filesystem::exists("cmd_tmp.cmd"));

    script = files_->create_command_script("cmd_tmp.cmd", {"@echo off"});
    script.reset();  // let go: now it can be deleted
    EXPECT_TRUE(DeleteFileW(L"cmd_tmp.cmd"));
}

// The read-only attribute is honoured even where Windows would let the write through.
TEST_F(shell_win32, the_read_only_attribute_refuses_every_change) {
    write_bytes("profile.dat", "a\r\n");
    ASSERT_TRUE(SetFileAttributesW(L"profile.dat", FILE_ATTRIBUTE_READONLY));
    auto files = create_file_system();
    for (const auto& change : std::initializer_list<std::function<void()>>{
             [&] { files->open_text_file("profile.dat", for_appending, true); },
             [&] { files->open_text_file("profile.dat", for_writing); },
             [&] { files->delete_file("profile.dat"); }}) {
        try {
            change();
            ADD_FAILURE() << "changed";
        } catch (const host_error& error) {
            EXPECT_EQ(error.number(), 70);
        }
    }
    EXPECT_EQ(read_bytes("profile.dat"), "a\r\n");
    SetFileAttributesW(L"profile.dat", FILE_ATTRIBUTE_NORMAL);
}

// A full disk: 61, and the file as it was: an append cut back, a rewrite's new file gone.
// NORVANE_SMALL_DISK names a small file system's folder (the test run mounts one), else
// skipped.
TEST(files_win32, a_full_disk_is_61_and_leaves_the_old_file) {
    const char* folder = std::getenv("NORVANE_SMALL_DISK");
    if (folder == nullptr) {
        GTEST_SKIP() << "NORVANE_SMALL_DISK not set";
    }
    const std::string name = std::string(folder) + "\\profile.dat";
    auto files = create_file_system();
    for (const iomode mode : {for_writing, for_appending}) {
        write_bytes(name, std::string(30000, 'o'));
        int number = 0;
        try {
            auto stream = files->open_text_file(name, mode);
            for (int i = 0; i < 100; ++i) {
                stream->write_line(std::string(1000, 'n'));
            }
            stream->close();
        } catch (const host_error& error) {
            number = error.number();
        }
        EXPECT_EQ(number, 61) << mode;
        EXPECT_EQ(read_bytes(name), std::string(30000, 'o')) << mode;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                                std::filesystem::directory_iterator()),
                  1)
            << mode;
    }
}

// ReplaceFileW as the test hands it to the file component: the calls that replaced a file.
int replace_calls = 0;
BOOL WINAPI counted_replace(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags,
                            LPVOID exclude, LPVOID reserved) {
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "ReplaceFileW");
    const auto real = reinterpret_cast<replace_file_call>(reinterpret_cast<void (*)()>(found));
    const BOOL done = real(replaced, replacement, backup, flags, exclude, reserved);
    replace_calls += done ? 1 : 0;
    return done;
}

// A rewrite replaces the file through ReplaceFileW where kernel32 has it, and through
// MoveFileExW alone where it does not (Windows NT 4.0): the same file either way.
TEST(files_win32, a_rewrite_replaces_through_replace_file_or_move_file) {
    testing::temp_dir dir;
    for (const replace_file_call call : {replace_file_call{counted_replace}, replace_file_call{}}) {
        write_bytes("profile.dat", "a\r\nb\r\n");
        replace_calls = 0;
        auto files = create_file_system(call);
        auto stream = files->open_text_file("profile.dat", for_writing);
        stream->write_line(stream->read_line());
        stream->write_line("c");
        stream->close();
        EXPECT_EQ(replace_calls, call != nullptr ? 1 : 0);
        EXPECT_EQ(read_bytes("profile.dat"), "a\r\nc\r\n");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

}  // namespace
}  // namespace norvane::host
