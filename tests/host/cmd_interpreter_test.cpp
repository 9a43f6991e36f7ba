// The command interpreter: reading script lines, netsh commands, their nmcli calls, and a
// whole script run against a recording nmcli.
#include <gtest/gtest.h>

#include <sstream>

#include "host/posix/cmd/cmd_line.h"
#include "host/posix/cmd/interpreter.h"
#include "host/posix/cmd/netsh_command.h"
#include "host/posix/cmd/nmcli_calls.h"

namespace norvane::cmd {
namespace {

const std::string lan = "ローカル エリア接続";
// "ローカル エリア接続" and "表示 ソフト" in code page 932; the second has 0x5C trail bytes.
const std::string lan_cp932 =
    "\x83\x8d\x81\x5b\x83\x4a\x83\x8b \x83\x47\x83\x8a\x83\x41\x90\xda\x91\xb1";
const std::string trail_5c_cp932 = "\x95\x5c\x8e\xa6 \x83\x5c\x83\x74\x83\x67";

TEST(cmd_line, words_follow_the_command_line_quoting) {
    struct row {
        std::string line;
        std::vector<std::string> words;
        bool has_operator;
    };
    const std::vector<row> rows = {
        {"netsh interface  ip", {"netsh", "interface", "ip"}, false},
        {"set dns \"" + lan + "\" static", {"set", "dns", lan, "static"}, false},
        {"name=\"" + lan + "\" x", {"name=" + lan, "x"}, false},
        {"\"\" a\"b c\"d", {"", "ab cd"}, false},
        {"a \"x & y\" ^& b", {"a", "x & y", "&", "b"}, false},
        {"dir > out", {"dir", ">", "out"}, true},
    };
    for (const row& r : rows) {
        bool has_operator = false;
        EXPECT_EQ(split_words(r.line, has_operator), r.words) << r.line;
        EXPECT_EQ(has_operator, r.has_operator) << r.line;
    }
    EXPECT_EQ(split_lines("a\r\nb\n\r\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
}

TEST(cmd_line, each_line_is_read_as_the_command_interpreter_reads_it) {
    struct row {
        std::string line;
        line_kind kind;
        bool quiet;
        std::string text_or_name;
    };
    const std::vector<row> rows = {
        {"@echo off", line_kind::echo_off, true, ""},
        {"  ECHO ON ", line_kind::echo_on, false, ""},
        {"echo", line_kind::echo_state, false, ""},
        {"echo.", line_kind::echo_text, false, ""},
        {"echo 設定 中", line_kind::echo_text, false, "設定 中"},
        {"", line_kind::nothing, false, ""},
        {"rem netsh interface ip set dns x dhcp", line_kind::nothing, false, ""},
        {":: comment", line_kind::nothing, false, ""},
        {"NetSh interface ip set dns x dhcp", line_kind::netsh, false, ""},
        {"remark", line_kind::unknown, false, "remark"},
        {"xyz \"a b\"", line_kind::unknown, false, "xyz"},
        {"netsh a | more", line_kind::unsupported, false, ""},
    };
    for (const row& r : rows) {
        const script_line parsed = parse_line(r.line);
        EXPECT_EQ(parsed.kind, r.kind) << r.line;
        EXPECT_EQ(parsed.quiet, r.quiet) << r.line;
        EXPECT_EQ(parsed.kind == line_kind::unknown ? parsed.name : parsed.text, r.text_or_name)
            << r.line;
    }
}

TEST(netsh, masks_become_prefix_lengths_and_holes_are_refused) {
    const std::vector<std::pair<std::string, std::optional<int>>> rows = {
        {"255.255.255.0", 24},
        {"255.255.255.255", 32},
        {"0.0.0.0", 0},
        {"255.255.254.0", 23},
        {"128.0.0.0", 1},
        {"255.0.255.0", std::nullopt},
        {"255.255.255.1", std::nullopt},
        {"255.255.255", std::nullopt},
        {"256.0.0.0", std::nullopt},
        {"255.255.255.0.", std::nullopt},
    };
    for (const auto& [mask, prefix] : rows) {
        EXPECT_EQ(prefix_length_of(mask), prefix) << mask;
    }
}

// netsh words and the nmcli modify call they give, with the connection's routes before it.
TEST(netsh, commands_become_exact_nmcli_calls) {
    struct row {
        std::string line;
        std::string routes;
        argument_list call;
    };
    const argument_list modify = {"nmcli", "connection", "modify", "id", lan};
    auto with = [&](argument_list rest) {
        argument_list call = modify;
        call.insert(call.end(), rest.begin(), rest.end());
        return call;
    };
    const std::vector<row> rows = {
        {"interface ip set address \"" + lan + "\" static 192.0.2.10 255.255.255.0 192.0.2.1 1", "",
         with({"ipv4.method", "manual", "ipv4.addresses", "192.0.2.10/24", "ipv4.gateway", "",
               "ipv4.routes", "0.0.0.0/0 192.0.2.1 1"})},
        // The user's own routes stay; the old default route goes.
        {"INTERFACE IPv4 SET ADDRESS name=\"" + lan +
             "\" source=STATIC address=10.1.2.3 mask=255.255.240.0 gateway=10.1.0.1 gwmetric=5",
         "10.9.0.0/16 192.0.2.3 50 table=100, 0.0.0.0/0 192.0.2.1 1",
         with({"ipv4.method", "manual", "ipv4.addresses", "10.1.2.3/20", "ipv4.gateway", "",
               "ipv4.routes", "10.9.0.0/16 192.0.2.3 50 table=100, 0.0.0.0/0 10.1.0.1 5"})},
        {"interface ip set address \"" + lan + "\" static 192.0.2.10 255.255.255.0 none", "",
         with({"ipv4.method", "manual", "ipv4.addresses", "192.0.2.10/24", "ipv4.gateway", "",
               "ipv4.routes", ""})},
        {"interface ip set address \"" + lan + "\" dhcp",
         "0.0.0.0/0 192.0.2.1 1, 10.8.0.0/16 192.0.2.4",
         with({"ipv4.method", "auto", "ipv4.addresses", "", "ipv4.gateway", "", "ipv4.routes",
               "10.8.0.0/16 192.0.2.4"})},
        {"interface ip set dns \"" + lan + "\" static 192.0.2.53", "",
         with({"ipv4.dns", "192.0.2.53", "ipv4.ignore-auto-dns", "yes"})},
        {"interface ip set dns \"" + lan + "\" static none primary", "",
         with({"ipv4.dns", "", "ipv4.ignore-auto-dns", "yes"})},
        {"interface ip set dns name=\"" + lan + "\" source=dhcp", "",
         with({"ipv4.dns", "", "ipv4.ignore-auto-dns", "no"})},
        {"interface ip add dns \"" + lan + "\" 192.0.2.54", "",
         with({"+ipv4.dns", "192.0.2.54", "ipv4.ignore-auto-dns", "yes"})},
    };
    for (const row& r : rows) {
        bool has_operator = false;
        const netsh_parse_result parsed = parse_netsh(split_words(r.line, has_operator));
        ASSERT_TRUE(parsed.command) << r.line << ": " << parsed.error;
        EXPECT_EQ(parsed.command->connection, lan);
        EXPECT_EQ(modify_call(*parsed.command, r.routes), r.call) << r.line;
    }
}

TEST(netsh, malformed_commands_are_refused_with_a_message) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"interface ip set address x static 192.0.2.10 255.0.255.0 192.0.2.1 1",
         "'255.0.255.0' は有効なサブネット マスクではありません。"},
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

// An nmcli that records its calls; the routes query answers with routes, and a call whose
// arguments contain fail_on fails with fail_message on stderr.
class recording_nmcli : public command_runner {
  public:
    process_result run(const std::vector<std::string>& arguments) override {
        calls.push_back(arguments);
        process_result result;
        result.started = true;
        result.exit_status = 0;
        if (arguments == routes_query_call(arguments.back())) {
            result.output = routes + "\n";
        }
        for (const std::string& argument : arguments) {
            if (!fail_on.empty() && argument == fail_on) {
                result.exit_status = 10;
                result.errors = fail_message;
            }
        }
        return result;
    }
    std::string routes;
    std::string fail_on;
    std::string fail_message;
    std::vector<argument_list> calls;
};

struct script_run {
    int status;
    std::string out;
    std::string err;
};

script_run run_script(recording_nmcli& nmcli, const std::string& bytes) {
    std::ostringstream out;
    std::ostringstream err;
    interpreter cmd(nmcli, out, err, "C:\\>");
    const int status = cmd.run_bytes(bytes);
    return {status, out.str(), err.str()};
}

TEST(interpreter, a_static_script_saves_each_command_and_brings_the_connection_up_once) {
    recording_nmcli nmcli;
    nmcli.routes = "0.0.0.0/0 192.0.2.99 1";
    const std::string n = "\"" + lan_cp932 + "\"";
    const script_run run = run_script(nmcli, "@echo off\r\nnetsh interface ip set address " + n +
                                                 " static 192.0.2.10 255.255.255.0 192.0.2.1 1\r\n"
                                                 "netsh interface ip set dns " +
                                                 n +
                                                 " static 192.0.2.53\r\n"
                                                 "netsh interface ip add dns " +
                                                 n +
                                                 " 192.0.2.54\r\n"
                                                 "netsh interface ip add dns " +
                                                 n + " 192.0.2.55\r\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    const argument_list modify = {"nmcli", "connection", "modify", "id", lan};
    auto with = [&](argument_list rest) {
        argument_list call = modify;
        call.insert(call.end(), rest.begin(), rest.end());
        return call;
    };
    const std::vector<argument_list> expected = {
        routes_query_call(lan),
        with({"ipv4.method", "manual", "ipv4.addresses", "192.0.2.10/24", "ipv4.gateway", "",
              "ipv4.routes", "0.0.0.0/0 192.0.2.1 1"}),
        with({"ipv4.dns", "192.0.2.53", "ipv4.ignore-auto-dns", "yes"}),
        with({"+ipv4.dns", "192.0.2.54", "ipv4.ignore-auto-dns", "yes"}),
        with({"+ipv4.dns", "192.0.2.55", "ipv4.ignore-auto-dns", "yes"}),
        {"nmcli", "connection", "up", "id", lan},
    };
    EXPECT_EQ(nmcli.calls, expected);
}

TEST(interpreter, blocks_left_from_an_earlier_run_end_in_the_last_ones_state) {
    recording_nmcli nmcli;
    const std::string n = "\"" + trail_5c_cp932 + "\"";
    const script_run run =
        run_script(nmcli, "@echo off\r\nnetsh interface ip set address " + n +
                              " static 192.0.2.10 255.255.255.0 192.0.2.1 1\r\n@echo off\n"
                              "netsh interface ip set address " +
                              n +
                              " dhcp\n"
                              "netsh interface ip set dns " +
                              n + " dhcp\n");
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(nmcli.calls.size(), 6u);
    EXPECT_EQ(nmcli.calls[4][4], "表示 ソフト");  // the 0x5C trail bytes stay in their characters
    EXPECT_EQ(nmcli.calls[3][6], "auto");
    EXPECT_EQ(nmcli.calls[5], (argument_list{"nmcli", "connection", "up", "id", "表示 ソフト"}));
}

TEST(interpreter, failures_are_reported_and_the_script_goes_on) {
    recording_nmcli nmcli;
    nmcli.fail_on = "192.0.2.54";
    nmcli.fail_message = "Error: failed to modify ipv4.dns.";
    const script_run run =
        run_script(nmcli,
                   "echo on\r\nxyz\r\n"
                   "netsh interface ip set address x static 192.0.2.10 255.0.255.0 192.0.2.1 1\r\n"
                   "netsh interface ip add dns x 192.0.2.54\r\n"
                   "netsh interface ip add dns x 192.0.2.55\r\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "'xyz' は、内部コマンドまたは外部コマンド、操作可能なプログラムまたはバッチ "
              "ファイルとして認識されていません。\n"
              "'255.0.255.0' は有効なサブネット マスクではありません。\n"
              "Error: failed to modify ipv4.dns.\n");
    EXPECT_EQ(run.out.substr(0, 24), "C:\\>echo on\nC:\\>xyz\nC:\\>");
    // The refused mask and the failed call changed nothing; the last command still ran.
    ASSERT_EQ(nmcli.calls.size(), 3u);
    EXPECT_EQ(nmcli.calls[1][6], "192.0.2.55");
    EXPECT_EQ(nmcli.calls[2], up_call("x"));
}

TEST(interpreter, a_connection_nothing_was_saved_for_is_not_brought_up) {
    recording_nmcli nmcli;
    nmcli.fail_on = "ipv4.routes";
    nmcli.fail_message = "Error: unknown connection 'x'.\n";
    const script_run run =
        run_script(nmcli, "@echo off\r\nnetsh interface ip set address x dhcp\r\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, nmcli.fail_message);
    EXPECT_EQ(nmcli.calls, std::vector<argument_list>{routes_query_call("x")});
}

TEST(interpreter, the_real_runner_passes_on_what_a_program_writes) {
    auto runner = create_process_runner();
    const process_result ok = runner->run({"sh", "-c", "echo out; echo err >&2; exit 3"});
    EXPECT_TRUE(ok.started);
    EXPECT_EQ(ok.exit_status, 3);
    EXPECT_EQ(ok.output, "out\n");
    EXPECT_EQ(ok.errors, "err\n");
    const process_result missing = runner->run({"norvane-no-such-program"});
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.start_error, ENOENT);
}

}  // namespace
}  // namespace norvane::cmd
