// The command interpreter: reading script lines, netsh commands, and whole scripts run against
// a recording nmcli.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <map>
#include <optional>
#include <sstream>
#include <tuple>

#include "host/cp932.h"
#include "host/posix/cmd/cmd_line.h"
#include "host/posix/cmd/interpreter.h"
#include "host/posix/cmd/netsh_command.h"
#include "host/posix/nmcli_messages.h"

namespace norvane::cmd {
namespace {

TEST(cmd_line, words_follow_the_command_line_quoting) {
    const std::vector<std::tuple<std::string, argument_list, bool>> rows = {
        {"set  dns \"ローカル エリア接続\"  \"\" a\"b c\"d",
         {"set", "dns", "ローカル エリア接続", "", "ab cd"},
         false},
        {"a \"x & y\" ^& b", {"a", "x & y", "&", "b"}, false},
        {"dir > out", {"dir", ">", "out"}, true},
    };
    for (const auto& [line, words, has_operator] : rows) {
        bool found_operator = false;
        EXPECT_EQ(split_words(line, found_operator), words) << line;
        EXPECT_EQ(found_operator, has_operator) << line;
    }
    EXPECT_EQ(split_lines("a\r\nb\n\r\nc"), (argument_list{"a", "b", "", "c"}));
}

TEST(cmd_line, each_line_is_read_as_the_command_interpreter_reads_it) {
    // The line, its kind, and its echo text or unknown command's name.
    const std::vector<std::tuple<std::string, line_kind, std::string>> rows = {
        {"  ECHO ON ", line_kind::echo_on, ""},
        {"echo", line_kind::echo_state, ""},
        {"echo.", line_kind::echo_text, ""},
        {"echo 設定 中", line_kind::echo_text, "設定 中"},
        {"", line_kind::nothing, ""},
        {"rem netsh interface ip set dns x dhcp", line_kind::nothing, ""},
        {":: comment", line_kind::nothing, ""},
        {"NetSh interface ip set dns x dhcp", line_kind::netsh, ""},
        {"remark", line_kind::unknown, "remark"},
        {"netsh a | more", line_kind::unsupported, ""},
    };
    for (const auto& [line, kind, text_or_name] : rows) {
        const script_line parsed = parse_line(line);
        EXPECT_EQ(parsed.kind, kind) << line;
        EXPECT_EQ(parsed.kind == line_kind::unknown ? parsed.name : parsed.text, text_or_name)
            << line;
    }
}

TEST(netsh, masks_become_prefix_lengths_and_holes_are_refused) {
    const std::pair<const char*, int> masks[] = {{"255.255.255.0", 24},
                                                 {"255.255.255.255", 32},
                                                 {"0.0.0.0", 0},
                                                 {"255.255.254.0", 23},
                                                 {"128.0.0.0", 1}};
    for (const auto& [mask, prefix] : masks) {
        EXPECT_EQ(prefix_length_of(mask), prefix) << mask;
    }
    for (const char* mask :
         {"255.0.255.0", "255.255.255.1", "255.255.255", "256.0.0.0", "255.255.255.0."}) {
        EXPECT_EQ(prefix_length_of(mask), std::nullopt) << mask;
    }
}

TEST(netsh, malformed_commands_are_refused_with_a_message) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"interface ip set address x static 192.0.2.300 255.255.255.0",
         "'192.0.2.300' は有効な IP アドレスではありません。"},
        {"interface ip set address x static 192.0.2.10",
         "必要なパラメーター mask が指定されていません。"},
        {"interface ip set address x dhcp 192.0.2.10", "dhcp では addr は指定できません。"},
        {"interface ip add dns x 192.0.2.54 2", "パラメーターが多すぎます: 2"},
        {"interface ip set dns x name=y dhcp", "パラメーター name が 2 回指定されています。"},
        {"interface ip show config",
         "次のコマンドが見つかりませんでした: interface ip show config"},
    };
    for (const auto& [line, message] : rows) {
        bool has_operator = false;
        const netsh_parse_result parsed = parse_netsh(split_words(line, has_operator));
        EXPECT_FALSE(parsed.command) << line;
        EXPECT_EQ(parsed.error, message) << line;
    }
}

TEST(netsh, the_gateway_metric_takes_up_to_four_digits) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> rows = {
        {"9999", "9999"},
        {"1", "1"},
        {"10000", std::nullopt},
        {"12a", std::nullopt},
        {"", std::nullopt}};
    for (const auto& [metric, kept] : rows) {
        bool has_operator = false;
        const std::string line =
            "interface ip set address x static 192.0.2.10 255.255.255.0 "
            "192.0.2.1 gwmetric=" +
            metric;
        const netsh_parse_result parsed = parse_netsh(split_words(line, has_operator));
        if (kept) {
            ASSERT_TRUE(parsed.command) << line << ": " << parsed.error;
            EXPECT_EQ(parsed.command->metric, *kept);
        } else {
            EXPECT_FALSE(parsed.command) << line;
            EXPECT_EQ(parsed.error, "'" + metric + "' は有効なメトリックではありません。");
        }
    }
}

// An nmcli that records its calls: the routes query prints routes, and a call with one of the
// arguments in failures fails with that exit status and message on stderr. Every call must
// start the program by the full path the interpreter was given; it is recorded as "nmcli".
struct recording_nmcli : command_runner {
    process_result run(const argument_list& arguments) override {
        EXPECT_EQ(arguments.front(), program);
        calls.push_back(arguments);
        calls.back().front() = "nmcli";
        process_result result{true, 0, 0, "", ""};
        if (arguments.size() == 7 && arguments[1] == "-g" && arguments[2] == "ipv4.routes") {
            result.output = routes + "\n";
        }
        for (const std::string& argument : arguments) {
            if (const auto failure = failures.find(argument); failure != failures.end()) {
                result.exit_status = failure->second.first;
                result.errors = failure->second.second;
            }
        }
        return result;
    }
    // Runs a script written, as the program writes it, in code page 932.
    int run_script(const std::string& text) {
        interpreter cmd(*this, out, err, "C:\\>", program, probe);
        return cmd.run_bytes(host::to_cp932(text));
    }

    std::string program = "/usr/bin/nmcli";
    routes_probe probe;  // none: the routes are always asked of nmcli
    std::string routes = "0.0.0.0/0 192.0.2.99 1, 10.9.0.0/16 192.0.2.3 50 table=100";
    std::map<std::string, std::pair<int, std::string>> failures;  // exit status, stderr
    std::vector<argument_list> calls;
    std::ostringstream out, err;
};

// Each script's calls: the routes read once, one modify with all the script's properties for
// each connection, then each connection brought up once; the user's own route is kept beside
// the default route.
TEST(interpreter, a_script_becomes_one_modify_and_one_up_for_each_connection) {
    const std::vector<std::pair<std::string, std::vector<argument_list>>> rows = {
        {"@echo off\r\n"
         "netsh interface ip set address \"表 ソ\" static 192.0.2.10 255.255.255.0 192.0.2.1 "
         "5\r\n"
         "netsh interface ip set dns \"表 ソ\" static 192.0.2.53\r\n"
         "netsh interface ip add dns \"表 ソ\" 192.0.2.54\r\n"
         "netsh interface ip add dns \"表 ソ\" 192.0.2.55\r\n",
         {{"nmcli", "-g", "ipv4.routes", "connection", "show", "id", "表 ソ"},
          {"nmcli", "connection", "modify", "id", "表 ソ", "ipv4.method", "manual",
           "ipv4.addresses", "192.0.2.10/24", "ipv4.gateway", "", "ipv4.routes",
           "10.9.0.0/16 192.0.2.3 50 table=100, 0.0.0.0/0 192.0.2.1 5", "ipv4.dns",
           "192.0.2.53,192.0.2.54,192.0.2.55", "ipv4.ignore-auto-dns", "yes"},
          {"nmcli", "connection", "up", "id", "表 ソ"}}},
        // A static block left from an earlier run before the DHCP block: the last one counts.
        {"@echo off\r\n"
         "netsh interface ip set address x static 192.0.2.10 255.255.255.0 192.0.2.1 1\r\n"
         "@echo off\n"
         "netsh interface ip set address x dhcp\n"
         "netsh interface ip set dns x dhcp\n",
         {{"nmcli", "-g", "ipv4.routes", "connection", "show", "id", "x"},
          {"nmcli", "connection", "modify", "id", "x", "ipv4.method", "auto", "ipv4.addresses", "",
           "ipv4.gateway", "", "ipv4.routes", "10.9.0.0/16 192.0.2.3 50 table=100", "ipv4.dns", "",
           "ipv4.ignore-auto-dns", "no"},
          {"nmcli", "connection", "up", "id", "x"}}},
        // Tags, a metric of its own, then no gateway and no DNS server.
        {"@echo off\nnetsh INTERFACE IPv4 SET ADDRESS name=\"x\" source=STATIC address=10.1.2.3 "
         "mask=255.255.240.0 gateway=10.1.0.1 gwmetric=5\n"
         "netsh interface ip set address x static 192.0.2.10 255.255.255.0 none\n"
         "netsh interface ip set dns x static none primary\n",
         {{"nmcli", "-g", "ipv4.routes", "connection", "show", "id", "x"},
          {"nmcli", "connection", "modify", "id", "x", "ipv4.method", "manual", "ipv4.addresses",
           "192.0.2.10/24", "ipv4.gateway", "", "ipv4.routes", "10.9.0.0/16 192.0.2.3 50 table=100",
           "ipv4.dns", "", "ipv4.ignore-auto-dns", "yes"},
          {"nmcli", "connection", "up", "id", "x"}}},
        // Servers added to the list the profile has, a list set again, two connections.
        {"@echo off\nnetsh interface ip add dns x 192.0.2.54\n"
         "netsh interface ip set dns y static 192.0.2.53\n"
         "netsh interface ip add dns x 192.0.2.55\n"
         "netsh interface ip add dns y 192.0.2.54\n"
         "netsh interface ip set dns y static 192.0.2.56\n",
         {{"nmcli", "connection", "modify", "id", "x", "+ipv4.dns", "192.0.2.54",
           "ipv4.ignore-auto-dns", "yes", "+ipv4.dns", "192.0.2.55"},
          {"nmcli", "connection", "modify", "id", "y", "ipv4.dns", "192.0.2.56",
           "ipv4.ignore-auto-dns", "yes"},
          {"nmcli", "connection", "up", "id", "x"},
          {"nmcli", "connection", "up", "id", "y"}}},
    };
    for (const auto& [script, expected] : rows) {
        recording_nmcli nmcli;
        EXPECT_EQ(nmcli.run_script(script), 0) << script;
        EXPECT_EQ(nmcli.out.str() + nmcli.err.str(), "") << script;
        EXPECT_EQ(nmcli.calls, expected) << script;
    }
}

// Where the profile is known to hold no route but default routes, nmcli is not asked for them
// and the default route simply replaces what was there; where it holds others, or where that
// is not known, they are asked of nmcli and kept.
TEST(interpreter, routes_are_asked_of_nmcli_only_where_the_profile_may_hold_others) {
    const std::string script =
        "netsh interface ip set address x static 192.0.2.10 255.255.255.0 192.0.2.1 5\n"
        "netsh interface ip set address x dhcp\n";
    const argument_list query = {"nmcli", "-g", "ipv4.routes", "connection", "show", "id", "x"};
    const struct {
        const char* what;
        std::optional<bool> other_routes;
        bool asked;
        std::string routes_set;
    } rows[] = {
        {"only default routes", false, false, ""},
        {"routes of the user's own", true, true, "10.9.0.0/16 192.0.2.3 50 table=100"},
        {"not known", std::nullopt, true, "10.9.0.0/16 192.0.2.3 50 table=100"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        recording_nmcli nmcli;
        std::vector<std::string> probed;
        nmcli.probe = [&](const std::string& connection) {
            probed.push_back(connection);
            return row.other_routes;
        };
        EXPECT_EQ(nmcli.run_script(script), 0);
        EXPECT_EQ(probed, std::vector<std::string>{"x"});  // once for the connection
        ASSERT_EQ(nmcli.calls.size(), row.asked ? 3U : 2U);
        EXPECT_EQ(nmcli.calls.front() == query, row.asked);
        const argument_list& modify = nmcli.calls[row.asked ? 1 : 0];
        const auto routes = std::find(modify.begin(), modify.end(), "ipv4.routes");
        ASSERT_NE(routes, modify.end());
        ASSERT_NE(routes + 1, modify.end());
        EXPECT_EQ(*(routes + 1), row.routes_set);
    }
}

// A script stops at the first line that fails; what the lines before it changed is saved, and
// nothing is brought up. The last line on err says why, in the program's own words chosen by
// nmcli's exit status (its messages may be in any language), with nmcli's words after them.
TEST(interpreter, a_script_stops_at_the_first_failure_and_says_why_last) {
    const std::string set_x =
        "netsh interface ip set address x static 192.0.2.10 255.255.255.0 192.0.2.1 1\r\n";
    const std::string unknown_xyz =
        "'xyz' は、内部コマンドまたは外部コマンド、操作可能なプログラムまたはバッチ "
        "ファイルとして認識されていません。";
    const struct {
        const char* what;
        std::string script;
        const char* failing;  // the argument whose call fails ("": none), its status and stderr
        int status;
        const char* says;
        std::size_t calls;   // how many calls were made
        std::string reason;  // the last line on err
    } cases[] = {
        {"gap in the mask",
         "netsh interface ip set address x static 192.0.2.10 255.0.255.0 192.0.2.1 1\r\n" + set_x,
         "", 0, "", 0, "'255.0.255.0' は有効なサブネット マスクではありません。"},
        {"a bad line after a good one: the good one is saved, not brought up", set_x + "xyz\r\n",
         "", 0, "", 2, unknown_xyz},
        {"unknown connection, nmcli in Japanese",
         "netsh interface ip set address y dhcp\r\n" + set_x, "y", 10, "エラー: 不明な接続 'y'.\n",
         1, "接続「y」が見つかりません。"},
        {"no permission", set_x + "netsh interface ip add dns x 192.0.2.54\r\n", "192.0.2.54", 1,
         "Error: Failed to modify connection 'x': Insufficient privileges\n", 2,
         "接続「x」を変更する権限がありません（Failed to modify connection 'x': Insufficient "
         "privileges）。"},
        {"activation", set_x, "up", 4, "Error: Connection activation failed: No carrier.\n", 3,
         "接続「x」を有効にできませんでした（Connection activation failed: No carrier.）。"},
        {"NetworkManager not running", set_x, "x", 8, "Error: NetworkManager is not running.\n", 1,
         "NetworkManager が動作していません。"},
        {"other words", set_x, "up", 1, "Error: something odd.\nmore\n", 3,
         "nmcli が終了コード 1 で終了しました（something odd.）。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        recording_nmcli nmcli;
        if (*c.failing != '\0') {
            nmcli.failures[c.failing] = {c.status, c.says};
        }
        EXPECT_EQ(nmcli.run_script("@echo off\r\n" + c.script), 1);
        EXPECT_EQ(nmcli.calls.size(), c.calls);
        for (const auto& call : nmcli.calls) {
            EXPECT_TRUE(call[2] != "up" || c.failing == std::string("up"));  // only the failing up
        }
        std::string err = nmcli.err.str();
        ASSERT_TRUE(err.ends_with('\n'));
        err.pop_back();
        EXPECT_EQ(err.substr(err.rfind('\n') + 1), c.reason);
        if (*c.failing != '\0') {
            EXPECT_NE(err.find(c.says), std::string::npos);  // nmcli's own words, first
        }
    }
}

TEST(interpreter, the_real_runner_passes_on_what_a_program_writes) {
    auto runner = host::create_process_runner();
    const process_result ok = runner->run({"sh", "-c", "echo out; echo err >&2; exit 3"});
    EXPECT_TRUE(ok.started);
    EXPECT_EQ(ok.exit_status, 3);
    EXPECT_EQ(ok.output, "out\n");
    EXPECT_EQ(ok.errors, "err\n");
    const process_result missing = runner->run({"/nonexistent/norvane-no-such-program"});
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.start_error, ENOENT);

    // nmcli's messages untranslated, whatever the user's language; the rest as it was.
    host::runner_options options;
    options.environment = host::nmcli_untranslated_environment();
    auto untranslated = host::create_process_runner(options);
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    setenv("LANGUAGE", "ja", 1);
    setenv("NORVANE_TEST_KEPT", "kept", 1);
    // env prints the environment exactly as the program received it, twice-set names included.
    const process_result seen = untranslated->run({"env"});
    unsetenv("LC_ALL");
    unsetenv("LANGUAGE");
    unsetenv("NORVANE_TEST_KEPT");
    std::vector<std::string> settings;
    std::istringstream lines(seen.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("LC_ALL=") || line.starts_with("LANGUAGE=") ||
            line.starts_with("NORVANE_TEST_KEPT=")) {
            settings.push_back(line);
        }
    }
    std::sort(settings.begin(), settings.end());
    EXPECT_EQ(settings,
              (std::vector<std::string>{"LANGUAGE=", "LC_ALL=C.UTF-8", "NORVANE_TEST_KEPT=kept"}));
}

}  // namespace
}  // namespace norvane::cmd
