// What Submit tells the user once the script has run: the settings read back compared with
// the profile, and the run's own status.
#include "netconfig/settings_check.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/recording_waiter.h"

namespace norvane {
namespace {

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
    constexpr auto ended = network_run::status::finished;
    const network_run ok{ended, 0, ""};
    EXPECT_EQ(submit_failure_text(office, ok, as_asked()), std::nullopt);
    // A status the platform gives no reason for (netsh's last line) does not decide alone.
    EXPECT_EQ(submit_failure_text(office, {ended, 1, ""}, as_asked()), std::nullopt);

    auto moved = as_asked();
    moved.addresses[0].ip = "192.168.0.5";
    EXPECT_EQ(submit_failure_text(office, ok, moved),
              "ネットワークの設定は反映されませんでした。\r\n"
              "IPアドレス: 192.168.0.10 → 実際 192.168.0.5");
    EXPECT_EQ(submit_failure_text(office, {ended, 1, "接続「LAN」を有効にできませんでした（x）。"},
                                  as_asked()),
              "ネットワークの設定は反映されませんでした。\r\n"
              "理由: 接続「LAN」を有効にできませんでした（x）。");

    host::ipv4_settings missing;
    missing.result = lookup::not_found;
    const auto text =
        submit_failure_text(office, {ended, 1, "接続「LAN」が見つかりません。"}, missing);
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(text->starts_with("接続「LAN」が見つかりません。")) << *text;
    EXPECT_EQ(text->find("再起動"), std::string::npos);

    host::ipv4_settings unreadable;
    unreadable.reason = "NetworkManager is not running.";
    EXPECT_NE(submit_failure_text(office, ok, unreadable)->find("NetworkManager is not running."),
              std::string::npos);

    // Where the platform cannot read the settings back, the exit status alone decides.
    EXPECT_EQ(submit_failure_text(office, ok, std::nullopt), std::nullopt);
    EXPECT_EQ(submit_failure_text(office, {ended, 2, ""}, std::nullopt),
              "ネットワークの設定は反映されませんでした。\r\n終了コード 2");
    EXPECT_EQ(submit_failure_text(office, {ended, 1, "理由"}, std::nullopt),
              "ネットワークの設定は反映されませんでした。\r\n理由");
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
    constexpr auto ended = network_run::status::finished;
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
