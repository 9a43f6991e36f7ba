// The command script: its exact text, how it is written, run and deleted, and its failures.
#include "netconfig/network_script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "host/cp932.h"
#include "host/platform.h"
#include "support/recording_shell.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using testing::read_bytes;

const std::string lan = "ローカル エリア接続";

profile_record static_record(std::string dns1, std::string dns2, std::string dns3) {
    return {"Office",
            lan,
            "192.168.0.10",
            "255.255.255.0",
            "192.168.0.1",
            std::move(dns1),
            std::move(dns2),
            std::move(dns3),
            "0"};
}

struct script_case {
    const char* what;
    profile_record record;
    std::string script;  // UTF-8 with CR LF
};

struct network_script_fixture : ::testing::Test {
    testing::temp_dir dir;
    testing::recording_shell shell;
    std::unique_ptr<host::file_system> files = host::create_file_system();
    std::string script_bytes;  // cmd_tmp.cmd as the shell found it

    network_script_fixture() {
        shell.on_run = [this](const std::string&) { script_bytes = read_bytes("cmd_tmp.cmd"); };
    }
    network_run run(const profile_record& record) {
        return run_network_script(record, 0x5678, *files, shell);
    }
};

TEST_F(network_script_fixture, writes_the_exact_script_in_cp932_with_crlf) {
    const std::string set_address = "netsh interface ip set address \"" + lan + "\" ";
    const std::string set_dns = "netsh interface ip set dns \"" + lan + "\" ";
    const std::string add_dns = "netsh interface ip add dns \"" + lan + "\" ";
    const std::string address_line =
        set_address + "static 192.168.0.10 255.255.255.0 192.168.0.1 1\r\n";
    const script_case cases[] = {
        {"static, three dns", static_record("1.1.1.1", "2.2.2.2", "3.3.3.3"),
         "@echo off\r\n" + address_line + set_dns + "static 1.1.1.1\r\n" + add_dns + "2.2.2.2\r\n" +
             add_dns + "3.3.3.3\r\n"},
        {"static, no dns", static_record("", "", ""), "@echo off\r\n" + address_line},
        {"dns2 without dns1", static_record("", "8.8.8.8", ""),
         "@echo off\r\n" + address_line + add_dns + "8.8.8.8\r\n"},
        {"dhcp ignores the dns fields",
         {"Home", lan, "1.2.3.4", "", "", "9.9.9.9", "", "", "1"},
         "@echo off\r\n" + set_address + "dhcp\r\n" + set_dns + "dhcp\r\n"},
        {"flag 2 is dhcp too",
         {"Home", lan, "", "", "", "", "", "", "2"},
         "@echo off\r\n" + set_address + "dhcp\r\n" + set_dns + "dhcp\r\n"},
        {"table sign in a name",
         {"P", "表ソ接続", "", "", "", "", "", "", "1"},
         "@echo off\r\nnetsh interface ip set address \"表ソ接続\" dhcp\r\n"
         "netsh interface ip set dns \"表ソ接続\" dhcp\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        script_bytes.clear();
        ASSERT_EQ(run(c.record).result, network_run::status::finished);
        EXPECT_EQ(script_bytes, host::to_cp932(c.script));
        EXPECT_FALSE(std::filesystem::exists("cmd_tmp.cmd"));
    }
    // The script of the current folder, owned by the caller's window.
    EXPECT_EQ(shell.scripts.at(0), (testing::recording_shell::request{"cmd_tmp.cmd", 0x5678}));
    EXPECT_EQ(shell.scripts.size(), std::size(cases));
}

// A failed run leaves its script behind; the next Submit writes its own and runs only that.
// A run that ended is a run, whatever its status: the status and reason reach the caller.
TEST_F(network_script_fixture, a_script_a_failed_run_left_behind_is_not_run_again) {
    shell.script_result.result = host::script_run::status::not_started;
    EXPECT_EQ(run({"H", lan, "", "", "", "", "", "", "1"}).result,
              network_run::status::not_started);
    ASSERT_TRUE(std::filesystem::exists("cmd_tmp.cmd"));

    shell.script_result.result = host::script_run::status::wait_failed;
    EXPECT_EQ(run(static_record("", "", "")).result, network_run::status::wait_failed);
    EXPECT_TRUE(std::filesystem::exists("cmd_tmp.cmd"));

    shell.script_result = {host::script_run::status::finished, 3, "接続が見つかりません"};
    const auto ended = run(static_record("8.8.8.8", "", ""));
    EXPECT_EQ(ended.result, network_run::status::finished);
    EXPECT_EQ(ended.exit_status, 3);
    EXPECT_EQ(ended.reason, "接続が見つかりません");
    EXPECT_EQ(script_bytes, host::to_cp932("@echo off\r\nnetsh interface ip set address \"" + lan +
                                           "\" static 192.168.0.10 255.255.255.0 192.168.0.1 1\r\n"
                                           "netsh interface ip set dns \"" +
                                           lan + "\" static 8.8.8.8\r\n"));
}

// The script is the program's own while it runs: no one can put another file under its name
// meanwhile (Windows: the script is held without delete sharing), and where someone can
// (Linux: the interpreter reads the file it was handed), the other file is not removed.
TEST_F(network_script_fixture, the_script_is_held_while_it_runs_and_only_it_is_removed) {
    std::error_code moved;
    shell.on_run = [&](const std::string&) {
        script_bytes = read_bytes("cmd_tmp.cmd");
        std::filesystem::rename("cmd_tmp.cmd", "moved.cmd", moved);
        if (!moved) {
            testing::write_bytes("cmd_tmp.cmd", "someone else's\r\n");
        }
    };
    ASSERT_EQ(run({"H", lan, "", "", "", "", "", "", "1"}).result, network_run::status::finished);
    EXPECT_TRUE(script_bytes.starts_with("@echo off\r\n")) << script_bytes;
#ifdef _WIN32
    EXPECT_TRUE(moved);
    EXPECT_FALSE(std::filesystem::exists("cmd_tmp.cmd"));
#else
    ASSERT_FALSE(moved) << moved.message();
    EXPECT_EQ(read_bytes("cmd_tmp.cmd"), "someone else's\r\n");
    EXPECT_EQ(read_bytes("moved.cmd"), script_bytes);
#endif
}

// A leftover that cannot be removed (here a folder) keeps the name: nothing is written or run,
// and the caller is told so, not given a file error.
TEST_F(network_script_fixture, a_leftover_that_cannot_be_removed_stops_the_run) {
    std::filesystem::create_directory("cmd_tmp.cmd");
    testing::write_bytes("cmd_tmp.cmd/inside", "x");
    const auto stopped = run({"H", lan, "", "", "", "", "", "", "1"});
    EXPECT_EQ(stopped.result, network_run::status::name_taken);
    EXPECT_TRUE(shell.scripts.empty());
    EXPECT_EQ(read_bytes("cmd_tmp.cmd/inside"), "x");
}

TEST_F(network_script_fixture, a_flag_that_is_not_a_number_is_a_type_mismatch_with_no_file) {
    for (const char* flag : {"", "x", "1a", "--1", " "}) {
        const auto failed = run({"P", lan, "", "", "", "", "", "", flag});
        EXPECT_EQ(failed.result, network_run::status::failed) << flag;
        EXPECT_EQ(failed.error_number, 13);
        EXPECT_EQ(failed.reason, host::describe_error(13));
        EXPECT_FALSE(std::filesystem::exists("cmd_tmp.cmd"));
    }
    EXPECT_TRUE(shell.scripts.empty());
}

TEST_F(network_script_fixture, refuses_fields_that_would_change_the_script) {
    const struct {
        profile_record record;
        const char* names;  // the field the message names
    } cases[] = {
        {{"P", "a\" & del /q *.* & \"", "", "", "", "", "", "", "1"}, "接続名"},
        {{"P", "%COMSPEC%", "", "", "", "", "", "", "1"}, "接続名"},
        {{"P", "name=LAN", "", "", "", "", "", "", "1"}, "接続名"},
        {{"P", "lan\r\nformat c:", "", "", "", "", "", "", "1"}, "接続名"},
        {{"P", "lan 😀", "", "", "", "", "", "", "1"}, "接続名"},
        {{"P", "source=static", "", "", "", "", "", "", "1"}, "接続名"},
        {{"P", host::from_cp932("lan\x85\x40"), "", "", "", "", "", "", "1"}, "接続名"},
        {{"P", lan, "1.2.3.4 & calc", "255.0.0.0", "1.2.3.1", "", "", "", "0"}, "IPアドレス"},
        {{"P", lan, "1.2.3.4", "255.0.0.0", "1.2.3.1", "", "", "8.8.8.8\nrem", "0"}, "3番目のDNS"},
    };
    for (const auto& c : cases) {
        const auto refused = run(c.record);
        EXPECT_EQ(refused.result, network_run::status::refused) << c.record.connect_name;
        EXPECT_TRUE(refused.reason.starts_with(c.names)) << refused.reason;
        EXPECT_FALSE(std::filesystem::exists("cmd_tmp.cmd"));
    }
    EXPECT_TRUE(shell.scripts.empty());
    // Fields a DHCP script does not use are not held against it.
    EXPECT_EQ(run({"P", lan, "junk;", "", "", "", "", "", "1"}).result,
              network_run::status::finished);
}

// A file component whose command interpreter reads another code page than profile.dat's
// (a console code page without Japanese, as on a non-Japanese Windows), recording how the
// script was opened.
class other_console_files : public host::file_system {
  public:
    explicit other_console_files(host::file_system& files) : files_(files) {}
    bool file_exists(const std::string& name) override { return files_.file_exists(name); }
    std::unique_ptr<host::text_stream> open_text_file(const std::string& name, host::iomode mode,
                                                      bool create) override {
        return files_.open_text_file(name, mode, create);
    }
    void delete_file(const std::string& name) override { files_.delete_file(name); }
    bool can_store(const std::string& text) override { return files_.can_store(text); }
    std::string text_of(const std::string& bytes) override { return files_.text_of(bytes); }
    std::string bytes_of(const std::string& text) override { return files_.bytes_of(text); }
    std::unique_ptr<host::command_script> create_command_script(
        const std::string& name, const std::vector<std::string>& lines) override {
        ++scripts_opened;
        return files_.create_command_script(name, lines);
    }
    bool can_store_in_command_script(const std::string& text) override {
        for (unsigned char c : text) {
            if (c >= 0x80) {
                return false;
            }
        }
        return true;
    }
    int scripts_opened = 0;

  private:
    host::file_system& files_;
};

// The script is written as a command script: a connection name that the command
// interpreter's code page cannot hold is refused before anything is written, though
// profile.dat could hold it.
TEST_F(network_script_fixture, a_name_the_console_code_page_cannot_hold_is_refused) {
    other_console_files console(*files);
    const auto refused = run_network_script(static_record("", "", ""), 0, console, shell);
    EXPECT_EQ(refused.result, network_run::status::refused);
    EXPECT_EQ(refused.reason,
              "接続名にこのシステムの文字コードで表せない文字が含まれています。"
              "接続名を確認してください。");
    EXPECT_EQ(console.scripts_opened, 0);
    EXPECT_FALSE(std::filesystem::exists("cmd_tmp.cmd"));
    EXPECT_TRUE(console.can_store(lan));

    profile_record ascii = static_record("", "", "");
    ascii.connect_name = "Local Area Connection";
    EXPECT_EQ(run_network_script(ascii, 0, console, shell).result, network_run::status::finished);
    EXPECT_EQ(console.scripts_opened, 1);
}

}  // namespace
}  // namespace norvane
