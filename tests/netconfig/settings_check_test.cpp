// What Submit tells the user once the script has run: the settings read back compared with
// the profile, and the run's own status.
#include "netconfig/settings_check.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/recording_waiter.h"

namespace norvane {
namespace {

constexpr auto ended = network_run::status::finished;

using lookup = host::ipv4_settings::lookup;

const profile_record office{
    "Office", "LAN", "192.168.0.10", "255.255.255.0", "192.168.0.1", "192.168.0.1", "192.168.0.2",
    "",       "0"};

const profile_record dhcp_office{"Office", "LAN", "", "", "", "", "", "", "1"};

// The connection exactly as the office profile asks, with the DHCP server's DNS behind.
host::ipv4_settings as_asked() {
    host::ipv4_settings s;
    s.result = lookup::found;
    s.addresses = {{"192.168.0.10", "255.255.255.0"}};
    s.gateway = "192.168.0.1";
    s.dns = {"192.168.0.1", "192.168.0.2", "10.0.0.53"};
    return s;
}

TEST(settings_check, every_kind_of_difference_gives_its_line) {
    const struct {
        const char* what;
        void (*change)(host::ipv4_settings&, profile_record&);
        std::vector<std::string> lines;
    } cases[] = {
        {"as asked", [](auto&, auto&) {}, {}},
        {"leading zeros are the same address",
         [](auto&, auto& r) { r.ip_add = "192.168.000.010"; },
         {}},
        {"a second address beside it",
         [](auto& s, auto&) {
             s.addresses.insert(s.addresses.begin(), {"10.1.1.1", "255.0.0.0"});
         },
         {}},
        {"another address",
         [](auto& s, auto&) {
             s.addresses = {{"192.168.0.5", "255.255.255.0"}};
         },
         {"IPアドレス: 192.168.0.10 → 実際 192.168.0.5"}},
        {"no address: not in use",
         [](auto& s, auto&) { s.addresses.clear(); },
         {"IPアドレス: 192.168.0.10 → 実際 なし"}},
        {"another mask",
         [](auto& s, auto&) { s.addresses[0].mask = "255.255.0.0"; },
         {"サブネットマスク: 255.255.255.0 → 実際 255.255.0.0"}},
        {"no gateway",
         [](auto& s, auto&) { s.gateway.clear(); },
         {"デフォルトゲートウェイ: 192.168.0.1 → 実際 なし"}},
        {"DNS in another order",
         [](auto& s, auto&) {
             s.dns = {"192.168.0.2", "192.168.0.1"};
         },
         {"DNSサーバー: 192.168.0.1, 192.168.0.2 → 実際 192.168.0.2, 192.168.0.1"}},
        {"DNS not at the head",
         [](auto& s, auto&) { s.dns.insert(s.dns.begin(), "9.9.9.9"); },
         {"DNSサーバー: 192.168.0.1, 192.168.0.2 → 実際 9.9.9.9, 192.168.0.1, 192.168.0.2, "
          "10.0.0.53"}},
        {"only added servers may follow others",
         [](auto& s, auto& r) {
             r.dns1.clear();
             s.dns = {"9.9.9.9", "192.168.0.2"};
         },
         {}},
        {"only DNS 2 set, and missing",
         [](auto& s, auto& r) {
             r.dns1.clear();
             s.dns = {"9.9.9.9", "192.168.0.1"};
         },
         {"DNSサーバー: 192.168.0.2 → 実際 9.9.9.9, 192.168.0.1"}},
        {"only DNS 3 set, behind the others",
         [](auto& s, auto& r) {
             r.dns1.clear();
             r.dns2.clear();
             r.dns3 = "192.168.0.3";
             s.dns = {"9.9.9.9", "192.168.0.3"};
         },
         {}},
        {"DNS 2 and 3 added in the wrong order",
         [](auto& s, auto& r) {
             r.dns1.clear();
             r.dns3 = "192.168.0.3";
             s.dns = {"9.9.9.9", "192.168.0.3", "192.168.0.2"};
         },
         {"DNSサーバー: 192.168.0.2, 192.168.0.3 → 実際 9.9.9.9, 192.168.0.3, 192.168.0.2"}},
        {"still DHCP",
         [](auto& s, auto&) {
             s.dhcp = true;
             s.gateway = "192.168.0.254";
         },
         {"DHCP: 無効 → 実際 有効", "デフォルトゲートウェイ: 192.168.0.1 → 実際 192.168.0.254"}},
        {"DHCP asked, DHCP on",
         [](auto& s, auto& r) {
             r = dhcp_office;
             s.dhcp = true;
             s.addresses.clear();
         },
         {}},
        {"DHCP asked, static kept",
         [](auto&, auto& r) { r = dhcp_office; },
         {"DHCP: 有効 → 実際 無効"}},
    };
    for (const auto& c : cases) {
        auto actual = as_asked();
        auto record = office;
        c.change(actual, record);
        EXPECT_EQ(settings_differences(record, actual), c.lines) << c.what;
    }
}

TEST(settings_check, success_needs_the_settings_as_asked_and_no_reported_failure) {
    const network_run ok{ended, 0, ""};
    const submit_message changed{
        "ネットワークの設定を変更しました。\r\n"
        "設定が反映されない場合はWindowsを再起動してください。",
        64, "処理終了"};
    EXPECT_EQ(submit_report(office, ok, as_asked()), changed);
    // A status the platform gives no reason for (netsh's last line) does not decide alone.
    EXPECT_EQ(submit_report(office, {ended, 1, ""}, as_asked()), changed);

    auto moved = as_asked();
    moved.addresses[0].ip = "192.168.0.5";
    EXPECT_EQ(submit_report(office, ok, moved),
              (submit_message{"ネットワークの設定は反映されませんでした。\r\n"
                              "IPアドレス: 192.168.0.10 → 実際 192.168.0.5",
                              16, "エラー"}));
    EXPECT_EQ(
        submit_report(office, {ended, 1, "接続「LAN」を有効にできませんでした（x）。"}, as_asked())
            .text,
        "ネットワークの設定は反映されませんでした。\r\n"
        "理由: 接続「LAN」を有効にできませんでした（x）。");

    host::ipv4_settings missing;
    missing.result = lookup::not_found;
    const auto text =
        submit_report(office, {ended, 1, "接続「LAN」が見つかりません。"}, missing).text;
    EXPECT_TRUE(text.starts_with("接続「LAN」が見つかりません。")) << text;
    EXPECT_EQ(text.find("再起動"), std::string::npos);

    host::ipv4_settings unreadable;
    unreadable.reason = "NetworkManager is not running.";
    EXPECT_NE(submit_report(office, ok, unreadable).text.find("NetworkManager is not running."),
              std::string::npos);

    // Without a way to read back, the run's status decides.
    EXPECT_EQ(submit_report(ok), changed);
    EXPECT_EQ(submit_report({ended, 2, ""}),
              (submit_message{"ネットワークの設定は反映されませんでした。\r\n終了コード 2", 16,
                              "エラー"}));
}

// A connection without a link: its stored configuration as asked is saved, not applied, and
// says so even when bringing the connection up failed; anything else stored is an error.
TEST(settings_check, a_connection_without_a_link_is_judged_by_its_stored_configuration) {
    const submit_message saved{
        "ネットワークの設定を保存しました。\r\n接続がつながると反映されます。", 64, "処理終了"};
    const network_run ok{ended, 0, ""};
    const network_run not_up{ended, 1, "接続「LAN」を有効にできませんでした（no carrier）。"};
    auto stored = as_asked();
    stored.not_connected = true;
    EXPECT_EQ(submit_report(office, ok, stored), saved);
    EXPECT_EQ(submit_report(office, not_up, stored), saved);

    auto stored_dhcp = stored;
    stored_dhcp.dhcp = true;
    stored_dhcp.addresses.clear();
    EXPECT_EQ(submit_report(dhcp_office, not_up, stored_dhcp), saved);
    EXPECT_TRUE(settings_as_asked(dhcp_office, stored_dhcp));  // no lease to wait for

    auto stored_other = stored;
    stored_other.gateway = "192.168.0.254";
    const auto refused = submit_report(office, not_up, stored_other);
    EXPECT_EQ(refused.style, 16);
    EXPECT_EQ(refused.text,
              "ネットワークの設定は反映されませんでした。\r\n"
              "デフォルトゲートウェイ: 192.168.0.1 → 実際 192.168.0.254\r\n"
              "理由: 接続「LAN」を有効にできませんでした（no carrier）。");
}

// A connection whose settings show one after another as the reads go on; the last stays.
struct changing_settings : host::network_settings {
    std::vector<host::ipv4_settings> answers;
    std::size_t reads = 0;
    host::ipv4_settings read_ipv4(const std::string&) override {
        return answers[std::min(reads++, answers.size() - 1)];
    }
};

TEST(settings_check, after_a_good_run_the_settings_are_read_until_they_show_or_time_is_up) {
    host::ipv4_settings before;  // the connection as it was: DHCP with its lease
    before.result = lookup::found;
    before.dhcp = true;
    before.addresses = {{"192.168.0.120", "255.255.255.0"}};
    host::ipv4_settings activating = before;  // DHCP on, no lease yet
    activating.addresses.clear();
    host::ipv4_settings missing;
    missing.result = lookup::not_found;
    host::ipv4_settings unplugged = before;  // stored: DHCP
    unplugged.not_connected = true;
    const network_run ok{ended, 0, ""};
    const network_run failed{ended, 1, "接続「LAN」を有効にできませんでした（x）。"};
    const std::vector<unsigned> fifty_pauses(50, read_back_pause_ms);

    const struct {
        const char* what;
        profile_record record;
        network_run run;
        std::vector<host::ipv4_settings> answers;
        std::size_t reads;
        std::vector<unsigned> pauses;
    } cases[] = {
        {"at once", office, ok, {as_asked()}, 1, {}},
        {"the third read", office, ok, {before, activating, as_asked()}, 3, {100, 100}},
        {"never: about five seconds", office, ok, {before}, 51, fifty_pauses},
        {"a failed run is read once", office, failed, {before, as_asked()}, 1, {}},
        {"a missing connection is read once", office, ok, {missing, as_asked()}, 1, {}},
        {"no link: what is stored will not change", office, ok, {unplugged, as_asked()}, 1, {}},
        {"DHCP waits for the lease",
         dhcp_office,
         ok,
         {activating, activating, before},
         3,
         {100, 100}},
        {"DHCP without a lease", dhcp_office, ok, {activating}, 51, fifty_pauses},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        changing_settings reader;
        reader.answers = c.answers;
        testing::recording_waiter waiter;
        const auto actual = read_back_settings(c.record, c.run, reader, waiter);
        EXPECT_EQ(reader.reads, c.reads);
        EXPECT_EQ(waiter.pauses, c.pauses);
        EXPECT_EQ(actual.addresses, c.answers[std::min(c.reads, c.answers.size()) - 1].addresses);
    }
}

}  // namespace
}  // namespace norvane
