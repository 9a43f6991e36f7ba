// One change as Submit and --apply make it: the settings kept before, the report, the way back
// and the record in the change log.
#include "netconfig/network_change.h"

#include <gtest/gtest.h>

#include <optional>

#include "host/platform.h"
#include "support/recording_waiter.h"
#include "support/scripted_network.h"
#include "support/temp_dir.h"

namespace norvane {

void PrintTo(const submit_message& message, std::ostream* out) {
    *out << "{\"" << message.text << "\", " << message.style << ", \"" << message.title << "\"}";
}

namespace {

using testing::found_dhcp;
using testing::found_static;
using lookup = host::ipv4_settings::lookup;

// What the caller saw: each report, each question, and its answer.
struct recording_listener : change_listener {
    bool agree = false;
    std::vector<submit_message> reports;
    int questions = 0;
    int no_way_back_calls = 0;
    void report(const submit_message& message) override { reports.push_back(message); }
    bool restore_agreed() override {
        ++questions;
        return agree;
    }
    void no_way_back() override { ++no_way_back_calls; }
};

const profile_record office{
    "office", "LAN", "192.168.0.10", "255.255.255.0", "192.168.0.1", "192.168.0.1", "", "", "0"};
const char* const office_script =
    "@echo off\r\n"
    "netsh interface ip set address \"LAN\" static 192.168.0.10 255.255.255.0 192.168.0.1 1\r\n"
    "netsh interface ip set dns \"LAN\" static 192.168.0.1\r\n";
const char* const dhcp_script =
    "@echo off\r\n"
    "netsh interface ip set address \"LAN\" dhcp\r\n"
    "netsh interface ip set dns \"LAN\" dhcp\r\n";
const host::ipv4_settings as_asked =
    found_static("192.168.0.10", "255.255.255.0", "192.168.0.1", {"192.168.0.1"});
// A run's end, made by a function: GCC 12's Release build misreads the reason string of one
// given in braces inside a table as used uninitialized.
host::script_run ended(host::script_run::status how, int exit_status, const char* reason) {
    host::script_run run;
    run.result = how;
    run.exit_status = exit_status;
    run.reason = reason;
    return run;
}

const host::script_run ran = ended(host::script_run::status::finished, 0, "");
const submit_message changed{
    "ネットワークの設定を変更しました。\r\n設定が反映されない場合はWindowsを再起動してください。",
    64, "処理終了"};

struct change_fixture : ::testing::Test {
    testing::temp_dir dir;
    std::unique_ptr<host::file_system> files = host::create_file_system();
    testing::recording_shell shell;
    testing::scripted_network network;
    testing::recording_waiter waiter;
    testing::memory_change_log log;
    recording_listener listener;

    change_fixture() { network.attach(shell); }
    change_outcome apply(const profile_record& record) {
        return apply_profile(record, {*files, shell, &network, &waiter, &log, 7}, listener);
    }
};

TEST_F(change_fixture, a_failed_change_offers_the_settings_kept_before_and_reports_the_way_back) {
    host::ipv4_settings wrong_gateway = as_asked;
    wrong_gateway.gateway = "192.168.0.254";
    host::ipv4_settings unplugged = found_dhcp();
    unplugged.addresses.clear();
    unplugged.not_connected = true;
    const std::string differs =
        "ネットワークの設定は反映されませんでした。\r\n"
        "デフォルトゲートウェイ: 192.168.0.1 → 実際 192.168.0.254";
    const struct {
        const char* what;
        host::ipv4_settings before;
        std::vector<host::ipv4_settings> after_runs;  // the change's, then the way back's
        host::script_run run;                         // every run ends so
        bool agree;
        change_outcome outcome;
        int questions;
        std::vector<submit_message> reports;
        std::vector<std::string> scripts;
    } cases[] = {
        {"as asked: nothing asked",
         found_dhcp(),
         {as_asked},
         ran,
         true,
         change_outcome::confirmed,
         0,
         {changed},
         {office_script}},
        {"stored on a connection without a link",
         found_dhcp(),
         {[] {
             auto s = as_asked;
             s.not_connected = true;
             return s;
         }()},
         ran,
         true,
         change_outcome::stored,
         0,
         {{"ネットワークの設定を保存しました。\r\n接続がつながると反映されます。", 64, "処理終了"}},
         {office_script}},
        {"differs, No: nothing more",
         found_dhcp(),
         {wrong_gateway},
         ran,
         false,
         change_outcome::failed,
         1,
         {{differs, 16, "エラー"}},
         {office_script}},
        {"differs, Yes: back to DHCP",
         found_dhcp(),
         {wrong_gateway, found_dhcp()},
         ran,
         true,
         change_outcome::failed,
         1,
         {{differs, 16, "エラー"}, {"変更前の設定に戻しました。", 64, "処理終了"}},
         {office_script, dhcp_script}},
        {"differs, Yes: back, stored without a link",
         found_dhcp(),
         {wrong_gateway, unplugged},
         ran,
         true,
         change_outcome::failed,
         1,
         {{differs, 16, "エラー"},
          {"変更前の設定を保存しました。\r\n接続がつながると反映されます。", 64, "処理終了"}},
         {office_script, dhcp_script}},
        {"the run failed, Yes, and the way back fails too: reported, not asked again",
         found_dhcp(),
         {wrong_gateway, wrong_gateway},
         ended(host::script_run::status::finished, 1, "接続「LAN」を有効にできませんでした（x）。"),
         true,
         change_outcome::failed,
         1,
         {{differs + "\r\n理由: 接続「LAN」を有効にできませんでした（x）。", 16, "エラー"},
          {"変更前の設定に戻せませんでした。\r\nネットワークの設定は反映されませんでした。\r\n"
           "DHCP: 有効 → 実際 無効\r\n理由: 接続「LAN」を有効にできませんでした（x）。",
           16, "エラー"}},
         {office_script, dhcp_script}},
        {"the script did not start: nothing changed, nothing asked",
         found_dhcp(),
         {},
         ended(host::script_run::status::not_started, 0, ""),
         true,
         change_outcome::failed,
         0,
         {{"CMD.EXEが実行できません。", 16, "エラー"}},
         {office_script}},
        {"the wait failed: the script may have changed something",
         found_dhcp(),
         {wrong_gateway},
         ended(host::script_run::status::wait_failed, 0, ""),
         false,
         change_outcome::failed,
         1,
         {{"ウェイトできません。", 16, "エラー"}},
         {office_script}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        network = {};
        network.attach(shell);
        network.current = c.before;
        network.after_runs.assign(c.after_runs.begin(), c.after_runs.end());
        shell.script_result = c.run;
        shell.scripts.clear();
        listener = {};
        listener.agree = c.agree;
        log.records.clear();

        EXPECT_EQ(apply(office), c.outcome);
        EXPECT_EQ(listener.questions, c.questions);
        EXPECT_EQ(listener.reports, c.reports);
        EXPECT_EQ(network.scripts, c.scripts);
        EXPECT_EQ(network.asked.front(), "LAN");  // kept before the change
        ASSERT_EQ(log.records.size(), 1u);
        for (const auto& request : shell.scripts) {
            EXPECT_EQ(request.owner, 7u);
        }
    }
}

TEST_F(change_fixture, no_way_back_when_the_settings_before_cannot_be_a_profile_or_nothing_ran) {
    host::ipv4_settings differs = as_asked;
    differs.dns.clear();
    host::ipv4_settings missing;
    missing.result = lookup::not_found;
    host::ipv4_settings unread;
    unread.reason = "NetworkManager が動作していません。";
    const struct {
        const char* what;
        host::ipv4_settings before;
        profile_record record;
        host::ipv4_settings after;
        int no_way_back_calls;
    } cases[] = {
        {"static without a gateway", found_static("10.0.0.2", "255.0.0.0", ""), office, differs, 1},
        {"no address", found_static("", "", "10.0.0.1"), office, differs, 1},
        {"not read", unread, office, differs, 1},
        {"the connection is missing", missing, office, missing, 0},
        {"refused: nothing was run", found_dhcp(),
         [] {
             auto r = office;
             r.connect_name = "name=LAN";
             return r;
         }(),
         differs, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        network.current = c.before;
        network.after_runs = {c.after};
        listener = {};
        listener.agree = true;
        EXPECT_EQ(apply(c.record), change_outcome::failed);
        EXPECT_EQ(listener.questions, 0);
        EXPECT_EQ(listener.reports.size(), 1u);
        EXPECT_EQ(listener.no_way_back_calls, c.no_way_back_calls);
    }
}

TEST_F(change_fixture, the_log_records_each_script_its_end_the_settings_read_and_the_way_back) {
    network.current = found_dhcp();
    host::ipv4_settings wrong = as_asked;
    wrong.gateway = "192.168.0.254";
    network.after_runs = {wrong, found_dhcp()};
    listener.agree = true;
    apply(office);
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_EQ(log.records[0],
              "[2026-12-07 21:57:27 +0900] プロファイル: office 接続: LAN\n"
              "スクリプト: @echo off\n"
              "スクリプト: netsh interface ip set address \"LAN\" static 192.168.0.10 "
              "255.255.255.0 192.168.0.1 1\n"
              "スクリプト: netsh interface ip set dns \"LAN\" static 192.168.0.1\n"
              "結果: 終了コード 0\n"
              "読み戻し: 固定 IPアドレス 192.168.0.10/255.255.255.0 ゲートウェイ 192.168.0.254 "
              "DNS 192.168.0.1\n"
              "相違: デフォルトゲートウェイ: 192.168.0.1 → 実際 192.168.0.254\n"
              "戻し: 変更前の設定に戻した（成功）\n"
              "戻しスクリプト: @echo off\n"
              "戻しスクリプト: netsh interface ip set address \"LAN\" dhcp\n"
              "戻しスクリプト: netsh interface ip set dns \"LAN\" dhcp\n"
              "戻し結果: 終了コード 0\n"
              "戻し読み戻し: DHCP IPアドレス 192.168.0.120/255.255.255.0 ゲートウェイ "
              "192.168.0.1 DNS なし\n"
              "戻し相違: なし\n"
              "\n");

    // The other endings, by their last lines.
    const struct {
        host::script_run run;
        host::ipv4_settings after;
        bool agree;
        const char* result_line;
        const char* way_back_line;
    } cases[] = {
        {ran, as_asked, false, "結果: 終了コード 0\n", "戻し: 不要\n"},
        {ended(host::script_run::status::finished, 1, "理由"), wrong, false,
         "結果: 終了コード 1（理由）\n", "戻し: 戻さなかった\n"},
        {ended(host::script_run::status::not_started, 0, ""), wrong, false,
         "結果: CMD.EXEが実行できません。\n", "戻し: 不要\n"},
    };
    for (const auto& c : cases) {
        log.records.clear();
        network.current = found_dhcp();
        network.after_runs = {c.after};
        shell.script_result = c.run;
        listener.agree = c.agree;
        apply(office);
        ASSERT_EQ(log.records.size(), 1u);
        EXPECT_NE(log.records[0].find(c.result_line), std::string::npos) << log.records[0];
        EXPECT_TRUE(log.records[0].ends_with(std::string(c.way_back_line) + "\n"))
            << log.records[0];
    }
}

TEST_F(change_fixture, a_log_that_cannot_be_written_changes_nothing_else) {
    log.failing = true;
    network.current = found_dhcp();
    network.after_runs = {as_asked};
    EXPECT_EQ(apply(office), change_outcome::confirmed);
    EXPECT_EQ(listener.reports, (std::vector<submit_message>{changed}));
    EXPECT_EQ(network.scripts.size(), 1u);
}

TEST_F(change_fixture, without_a_reader_the_exit_status_decides_and_there_is_no_way_back) {
    shell.script_result = {host::script_run::status::finished, 1, "失敗"};
    EXPECT_EQ(apply_profile(office, {*files, shell, nullptr, nullptr, &log, 0}, listener),
              change_outcome::failed);
    EXPECT_EQ(listener.questions, 0);
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_EQ(listener.reports[0].text, "ネットワークの設定は反映されませんでした。\r\n失敗");
    shell.script_result = ran;
    EXPECT_EQ(apply_profile(office, {*files, shell, nullptr, nullptr, nullptr, 0}, listener),
              change_outcome::confirmed);
}

TEST(network_change, settings_become_a_profile_as_profile_dat_holds_them) {
    host::ipv4_settings many = found_static("10.0.0.2", "255.0.0.0", "10.0.0.1",
                                            {"10.0.0.53", "8.8.8.8", "8.8.4.4", "1.1.1.1"});
    many.addresses.push_back({"10.0.0.3", "255.255.0.0"});
    const struct {
        const char* what;
        host::ipv4_settings settings;
        const char* line;
        bool fits;
    } cases[] = {
        {"DHCP: flag 1, no addresses", found_dhcp(), "p,LAN,,,,,,,1", true},
        {"static: the first address, three DNS", many,
         "p,LAN,10.0.0.2,255.0.0.0,10.0.0.1,10.0.0.53,8.8.8.8,8.8.4.4,0", true},
        {"static without a gateway", found_static("10.0.0.2", "255.0.0.0", ""),
         "p,LAN,10.0.0.2,255.0.0.0,,,,,0", false},
        {"static without an address", found_static("", "", "10.0.0.1"), "p,LAN,,,10.0.0.1,,,,0",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(line_from_record(record_from_settings("p", "LAN", c.settings)), c.line);
        EXPECT_EQ(settings_fit_a_profile(c.settings), c.fits);
    }
    host::ipv4_settings missing;
    missing.result = lookup::not_found;
    missing.dhcp = true;
    EXPECT_FALSE(settings_fit_a_profile(missing));
}

}  // namespace
}  // namespace norvane
