// The command line: what the arguments ask for, and each command's texts and exit status, on a
// real profile.dat in a temporary folder with the network and the shell played by the test.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "host/cp932.h"
#include "host/platform.h"
#include "support/recording_waiter.h"
#include "support/scripted_network.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using action = command_line::action;
using testing::found_dhcp;
using testing::found_static;
using testing::read_bytes;
using testing::write_bytes;

TEST(command_line, arguments_pick_a_command_or_the_window) {
    using args = std::vector<std::string>;
    const struct {
        args arguments;
        bool windows;
        action what;
        const char* name;
        const char* connection;
        bool restore;
    } cases[] = {
        {{}, false, action::window, "", "", false},
        {{"-platform", "offscreen"}, false, action::window, "", "", false},
        {{"profile.dat"}, false, action::window, "", "", false},
        {{"/list"}, false, action::window, "", "", false},  // a file on Linux
        {{"-list"}, false, action::window, "", "", false},  // Qt's kind of option
        {{"--list"}, false, action::list, "", "", false},
        {{"--help"}, false, action::help, "", "", false},
        {{"--version"}, false, action::version, "", "", false},
        {{"--apply", "会社"}, false, action::apply, "会社", "", false},
        {{"--apply", "会社", "--restore-on-failure"}, false, action::apply, "会社", "", true},
        {{"--restore-on-failure", "--apply", "会社"}, false, action::apply, "会社", "", true},
        {{"--apply", "--list"}, false, action::apply, "--list", "", false},  // the name as given
        {{"--show", "LAN"}, false, action::show, "", "LAN", false},
        {{"--capture", "家", "Wired connection 1"},
         false,
         action::capture,
         "家",
         "Wired connection 1",
         false},
        // Wrong: the usage.
        {{"--"}, false, action::usage_error, "", "", false},
        {{"--List"}, false, action::usage_error, "", "", false},
        {{"--bogus"}, false, action::usage_error, "", "", false},
        {{"--apply"}, false, action::usage_error, "", "", false},
        {{"--apply", "a", "b"}, false, action::usage_error, "", "", false},
        {{"--show"}, false, action::usage_error, "", "", false},
        {{"--capture", "a"}, false, action::usage_error, "", "", false},
        {{"--list", "x"}, false, action::usage_error, "", "", false},
        {{"--restore-on-failure"}, false, action::usage_error, "", "", false},
        {{"--list", "--restore-on-failure"}, false, action::usage_error, "", "", false},
        {{"-platform", "offscreen", "--list"}, false, action::usage_error, "", "", false},
        // Windows: "/" too, and in any case.
        {{"/list"}, true, action::list, "", "", false},
        {{"/LIST"}, true, action::list, "", "", false},
        {{"--Apply", "A", "/Restore-On-Failure"}, true, action::apply, "A", "", true},
        {{"/?"}, true, action::help, "", "", false},
        {{"/?"}, false, action::window, "", "", false},
        {{"/x"}, true, action::usage_error, "", "", false},
        {{"C:\\profiles\\profile.dat"}, true, action::window, "", "", false},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& a : c.arguments) {
            joined += a + " ";
        }
        SCOPED_TRACE(joined + (c.windows ? "(Windows)" : ""));
        const command_line command = parse_command_line(c.arguments, c.windows);
        EXPECT_EQ(command.what, c.what);
        if (c.what != action::usage_error) {
            EXPECT_EQ(command.name, c.name);
            EXPECT_EQ(command.connection, c.connection);
            EXPECT_EQ(command.restore_on_failure, c.restore);
        }
    }
}

TEST(command_line, a_windows_command_line_splits_as_the_c_runtime_splits_it) {
    using args = std::vector<std::string>;
    const struct {
        const char* line;
        args arguments;
    } cases[] = {
        {"", {}},
        {"  /list  ", {"/list"}},
        {"/apply \"ローカル エリア接続\"", {"/apply", "ローカル エリア接続"}},
        {"--show \"\"", {"--show", ""}},
        {"a\\b \"c d\"e", {"a\\b", "c de"}},
        {"\"a\\\"b\"", {"a\"b"}},
        {"\"a\\\\\" b", {"a\\", "b"}},
        {"\"a\"\"b\"", {"a\"b"}},
        {"x\ty", {"x", "y"}},
        {"表\\ \"表\\\"", {"表\\", "表\""}},  // UTF-8 has no backslash inside a character
    };
    for (const auto& c : cases) {
        EXPECT_EQ(split_windows_command_line(c.line), c.arguments) << c.line;
    }
}

// What a command wrote, and where.
struct captured_output : command_output {
    std::string out_text;
    std::string err_text;
    void out(const std::string& text) override { out_text += text; }
    void err(const std::string& text) override { err_text += text; }
};

struct cli_fixture : ::testing::Test {
    testing::temp_dir dir;
    testing::recording_shell shell;
    testing::scripted_network network;
    testing::recording_waiter waiter;
    testing::memory_change_log log;
    host::os_version version{2, 5, 1, 2600};
    command_services services;
    captured_output output;

    cli_fixture() {
        network.attach(shell);
        services.query_version = [this] { return version; };
        services.create_file_system = host::create_file_system;
        services.shell = &shell;
        services.reader = &network;
        services.waiter = &waiter;
        services.log = &log;
    }
    void write_profiles(const std::vector<std::string>& lines) {
        std::string bytes;
        for (const auto& line : lines) {
            bytes += host::to_cp932(line) + "\r\n";
        }
        write_bytes("profile.dat", bytes);
    }
    int run(const std::vector<std::string>& arguments) {
        output = {};
        return run_command(parse_command_line(arguments, false), services, output);
    }
};

TEST_F(cli_fixture, list_gives_the_names_in_file_order) {
    EXPECT_EQ(run({"--list"}), 0);  // no file: no profiles
    EXPECT_EQ(output.out_text, "");
    write_profiles(
        {"会社,LAN,192.168.0.10,255.255.255.0,192.168.0.1,,,,0", "", "家,LAN,,,,,,,1", "名前だけ"});
    EXPECT_EQ(run({"--list"}), 0);
    EXPECT_EQ(output.out_text, "会社\n家\n名前だけ\n");
    EXPECT_EQ(output.err_text, "");

    // No file component: the failure and its number.
    services.create_file_system = []() -> std::unique_ptr<host::file_system> {
        throw host::host_error(host::cannot_create_component);
    };
    EXPECT_EQ(run({"--list"}), 1);
    EXPECT_EQ(output.out_text, "");
    EXPECT_EQ(output.err_text, host::describe_error(429) + "(429)\n");
}

TEST_F(cli_fixture, apply_runs_submits_flow_and_exits_by_what_the_settings_show) {
    write_profiles({"会社,LAN,192.168.0.10,255.255.255.0,192.168.0.1,192.168.0.1,,,0",
                    "家,LAN,,,,,,,1", "壊れた,LAN,,,,,,,x"});
    const auto office =
        found_static("192.168.0.10", "255.255.255.0", "192.168.0.1", {"192.168.0.1"});
    auto office_unplugged = office;
    office_unplugged.not_connected = true;
    auto wrong = office;
    wrong.gateway = "192.168.0.254";
    host::ipv4_settings missing;
    missing.result = host::ipv4_settings::lookup::not_found;
    const host::script_run ok{host::script_run::status::finished, 0, ""};
    const host::script_run failed{host::script_run::status::finished, 4,
                                  "NetworkManager が動作していません。"};
    const struct {
        const char* what;
        std::vector<std::string> arguments;
        host::script_run run;
        std::vector<host::ipv4_settings> after_runs;
        int status;
        std::size_t scripts;
        const char* out;  // a part of standard output ("" none at all)
        const char* err;  // a part of standard error ("" none at all)
    } cases[] = {
        {"confirmed",
         {"--apply", "会社"},
         ok,
         {office},
         0,
         1,
         "ネットワークの設定を変更しました。\n",
         ""},
        {"DHCP",
         {"--apply", "家"},
         ok,
         {found_dhcp()},
         0,
         1,
         "ネットワークの設定を変更しました。",
         ""},
        {"stored, not connected",
         {"--apply", "会社"},
         ok,
         {office_unplugged},
         3,
         1,
         "ネットワークの設定を保存しました。\n接続がつながると反映されます。\n",
         ""},
        {"differs, not restored",
         {"--apply", "会社"},
         ok,
         {wrong},
         1,
         1,
         "",
         "デフォルトゲートウェイ: 192.168.0.1 → 実際 192.168.0.254\n変更前の設定に戻すには"},
        {"failed, restored",
         {"--apply", "会社", "--restore-on-failure"},
         failed,
         {wrong, found_dhcp()},
         1,
         2,
         "",
         "理由: NetworkManager が動作していません。\n"},
        {"missing connection",
         {"--apply", "会社"},
         ok,
         {missing},
         1,
         1,
         "",
         "接続「LAN」が見つかりません。"},
        {"a flag that is no number", {"--apply", "壊れた"}, ok, {}, 1, 0, "", "型が一致しません。"},
        {"unknown profile",
         {"--apply", "なし"},
         ok,
         {},
         2,
         0,
         "",
         "プロファイル「なし」はデータベースに存在しません。\n"},
        {"an empty name", {"--apply", ""}, ok, {}, 2, 0, "", "データベースに存在しません。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        network.current = found_dhcp();
        network.after_runs.assign(c.after_runs.begin(), c.after_runs.end());
        network.scripts.clear();
        shell.script_result = c.run;
        log.records.clear();
        EXPECT_EQ(run(c.arguments), c.status);
        EXPECT_EQ(network.scripts.size(), c.scripts);
        if (c.out[0] == '\0') {
            EXPECT_EQ(output.out_text, "");
        } else {
            EXPECT_NE(output.out_text.find(c.out), std::string::npos) << output.out_text;
        }
        if (c.err[0] == '\0') {
            EXPECT_EQ(output.err_text, "");
        } else {
            EXPECT_NE(output.err_text.find(c.err), std::string::npos) << output.err_text;
        }
        EXPECT_EQ(output.out_text.find('\r'), std::string::npos);
        EXPECT_EQ(output.err_text.find('\r'), std::string::npos);
        EXPECT_EQ(log.records.size(), c.status == 2 ? 0u : 1u);  // each change, once
    }
    // The way back was taken without a question and reported.
    network.current = found_dhcp();
    network.after_runs = {wrong, found_dhcp()};
    shell.script_result = ok;
    EXPECT_EQ(run({"--apply", "会社", "--restore-on-failure"}), 1);
    EXPECT_NE(output.out_text.find("変更前の設定に戻しました。\n"), std::string::npos);
    EXPECT_NE(network.scripts.back().find("set address \"LAN\" dhcp"), std::string::npos);
    // Settings before that no profile can hold: nothing to go back to, and it says so.
    network.current = found_static("10.0.0.2", "255.0.0.0", "");
    network.after_runs = {wrong};
    EXPECT_EQ(run({"--apply", "会社", "--restore-on-failure"}), 1);
    EXPECT_NE(output.err_text.find("戻せません。"), std::string::npos) << output.err_text;
}

TEST_F(cli_fixture, the_version_check_refuses_every_command_that_works_on_files_or_the_network) {
    write_profiles({"家,LAN,,,,,,,1"});
    version = {1, 4, 10, 2222};  // Windows 98
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--list"},
                                                      {"--apply", "家"},
                                                      {"--show", "LAN"},
                                                      {"--capture", "新", "LAN"}}) {
        EXPECT_EQ(run(arguments), 1) << arguments[0];
        EXPECT_EQ(output.err_text,
                  "このプログラムはWindows2000専用です。\nWindows 98 上では動作いたしません。\n");
    }
    EXPECT_TRUE(shell.scripts.empty());
    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_TRUE(output.out_text.starts_with("Norvane v")) << output.out_text;
}

TEST_F(cli_fixture, show_gives_one_profile_line_with_an_empty_name) {
    host::ipv4_settings unread;
    unread.reason = "NetworkManager が動作していません。";
    host::ipv4_settings missing;
    missing.result = host::ipv4_settings::lookup::not_found;
    const struct {
        host::ipv4_settings settings;
        int status;
        const char* out;
        const char* err;
    } cases[] = {
        {found_dhcp(), 0, ",有線 1,,,,,,,1\n", ""},
        {found_static("10.0.0.2", "255.0.0.0", "10.0.0.1",
                      {"10.0.0.53", "8.8.8.8", "8.8.4.4", "1.1.1.1"}),
         0, ",有線 1,10.0.0.2,255.0.0.0,10.0.0.1,10.0.0.53,8.8.8.8,8.8.4.4,0\n", ""},
        {found_static("10.0.0.2", "255.0.0.0", ""), 0, ",有線 1,10.0.0.2,255.0.0.0,,,,,0\n", ""},
        {missing, 1, "", "接続「有線 1」が見つかりません。\n接続名を確認してください。\n"},
        {unread, 1, "",
         "接続「有線 1」の設定を読み取れませんでした。\nNetworkManager が動作していません。\n"},
    };
    for (const auto& c : cases) {
        network.current = c.settings;
        EXPECT_EQ(run({"--show", "有線 1"}), c.status);
        EXPECT_EQ(output.out_text, c.out);
        EXPECT_EQ(output.err_text, c.err);
    }
    EXPECT_FALSE(std::filesystem::exists("profile.dat"));  // not even looked for
    services.reader = nullptr;
    EXPECT_EQ(run({"--show", "有線 1"}), 1);
}

TEST_F(cli_fixture, capture_appends_what_show_gives_and_never_overwrites) {
    write_profiles({"会社,LAN,192.168.0.10,255.255.255.0,192.168.0.1,,,,0"});
    const std::string before = read_bytes("profile.dat");
    network.current = found_static("10.0.0.2", "255.0.0.0", "10.0.0.1", {"10.0.0.53"});
    EXPECT_EQ(run({"--capture", "取り込み", "有線 1"}), 0);
    EXPECT_EQ(output.out_text, "データベースを更新しました。\n");
    EXPECT_EQ(read_bytes("profile.dat"),
              before + host::to_cp932("取り込み,有線 1,10.0.0.2,255.0.0.0,10.0.0.1,10.0.0.53,,,0") +
                  "\r\n");
    EXPECT_EQ(run({"--list"}), 0);
    EXPECT_EQ(output.out_text, "会社\n取り込み\n");

    host::ipv4_settings missing;
    missing.result = host::ipv4_settings::lookup::not_found;
    const std::string after = read_bytes("profile.dat");
    const struct {
        const char* what;
        std::vector<std::string> arguments;
        host::ipv4_settings settings;
        int status;
        const char* err;
    } refused[] = {
        {"an existing name",
         {"--capture", "会社", "有線 1"},
         found_dhcp(),
         2,
         "プロファイル名「会社」は既に存在します。上書きはしません。\n"},
        {"a comma",
         {"--capture", "a,b", "有線 1"},
         found_dhcp(),
         2,
         "プロファイル名に「,」（カンマ）は使用できません。\n"},
        {"no character of the file's code page",
         {"--capture", "😀", "有線 1"},
         found_dhcp(),
         2,
         "プロファイル名にデータベースに保存できない文字が含まれています。\n"},
        {"an empty name",
         {"--capture", "", "有線 1"},
         found_dhcp(),
         2,
         "プロファイル名を入力してください。\n"},
        {"a missing connection",
         {"--capture", "新", "有線 9"},
         missing,
         1,
         "接続「有線 9」が見つかりません。\n接続名を確認してください。\n"},
        {"a connection name the file cannot hold",
         {"--capture", "新", "a,b"},
         found_dhcp(),
         1,
         "接続名に「,」（カンマ）は使用できません。\n"},
        {"no gateway",
         {"--capture", "新", "有線 1"},
         found_static("10.0.0.2", "255.0.0.0", ""),
         1,
         "」の設定はプロファイルにできません。\n"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        network.current = c.settings;
        EXPECT_EQ(run(c.arguments), c.status);
        EXPECT_EQ(output.out_text, "");
        EXPECT_NE(output.err_text.find(c.err), std::string::npos) << output.err_text;
        EXPECT_EQ(read_bytes("profile.dat"), after);
    }
    EXPECT_TRUE(shell.scripts.empty());
    EXPECT_TRUE(log.records.empty());  // a capture changes no setting

    // A file that cannot be written (a folder in its place): Save's message, exit 1.
    std::filesystem::remove("profile.dat");
    std::filesystem::create_directory("profile.dat");
    network.current = found_dhcp();
    EXPECT_EQ(run({"--capture", "新", "有線 1"}), 1);
    EXPECT_EQ(output.out_text, "");
    EXPECT_NE(output.err_text.find("データベースは更新されていません。"), std::string::npos)
        << output.err_text;
}

TEST_F(cli_fixture, help_and_wrong_arguments_print_the_usage) {
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_NE(output.out_text.find("--apply 名前 [--restore-on-failure]"), std::string::npos);
    EXPECT_NE(output.out_text.find("変更の記録: /home/user/.local/state/norvane/changes.log"),
              std::string::npos);
    EXPECT_EQ(output.out_text.find("「/」"), std::string::npos);
    EXPECT_EQ(run({"--nothing"}), 2);
    EXPECT_EQ(output.out_text, "");
    EXPECT_EQ(output.err_text, usage_text(false));
    EXPECT_NE(usage_text(true).find("「/」でも"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("profile.dat"));
}

}  // namespace
}  // namespace norvane
