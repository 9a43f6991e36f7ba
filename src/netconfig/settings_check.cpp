#include "netconfig/settings_check.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <utility>

namespace norvane {

namespace {

constexpr const char* arrow = " → 実際 ";
constexpr const char* nothing = "なし";

// The four numbers of a dotted address, joined again without leading zeros; the text as it
// stands when it is no dotted address.
std::string normal_address(const std::string& text) {
    std::string normal;
    int parts = 0;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        const std::size_t end = std::min(text.find('.', begin), text.size());
        const std::string part = text.substr(begin, end - begin);
        if (part.empty() || part.size() > 3 ||
            !std::all_of(part.begin(), part.end(),
                         [](unsigned char c) { return std::isdigit(c); })) {
            return text;
        }
        if (parts++ > 0) {
            normal.push_back('.');
        }
        normal.append(std::to_string(std::stoi(part)));
        begin = end + 1;
    }
    return parts == 4 ? normal : text;
}

bool same_address(const std::string& a, const std::string& b) {
    return normal_address(a) == normal_address(b);
}

std::string joined(const std::vector<std::string>& texts) {
    if (texts.empty()) {
        return nothing;
    }
    std::string all;
    for (const auto& text : texts) {
        all += (all.empty() ? "" : ", ") + text;
    }
    return all;
}

std::string or_nothing(const std::string& text) {
    return text.empty() ? nothing : text;
}

// The profile's DNS servers are in the list in their order: at its head when the first one is
// set (the script replaces the list), anywhere behind the others when it is not (the script
// only adds).
bool dns_as_asked(const profile_record& record, const std::vector<std::string>& actual) {
    std::vector<std::string> asked;
    for (const auto* server : {&record.dns1, &record.dns2, &record.dns3}) {
        if (!server->empty()) {
            asked.push_back(*server);
        }
    }
    const auto same = [](const std::string& a, const std::string& b) { return same_address(a, b); };
    if (!record.dns1.empty()) {
        return actual.size() >= asked.size() &&
               std::equal(asked.begin(), asked.end(), actual.begin(), same);
    }
    auto from = actual.begin();
    for (const auto& server : asked) {
        from = std::find_if(from, actual.end(), [&](const auto& a) { return same(a, server); });
        if (from == actual.end()) {
            return false;
        }
        ++from;
    }
    return true;
}

submit_message changed_message() {
    return {
        "ネットワークの設定を変更しました。\r\n"
        "設定が反映されない場合はWindowsを再起動してください。",
        mb_information, finished_title};
}

submit_message failure(std::string text) {
    return {std::move(text), mb_critical, error_title};
}

constexpr const char* not_applied = "ネットワークの設定は反映されませんでした。";

}  // namespace

std::vector<std::string> settings_differences(const profile_record& record,
                                              const host::ipv4_settings& actual) {
    std::vector<std::string> lines;
    if (dhcp_flag_selects_dhcp(record.dhcp_flag)) {
        if (!actual.dhcp) {
            lines.push_back(std::string("DHCP: 有効") + arrow + "無効");
        }
        return lines;
    }
    if (actual.dhcp) {
        lines.push_back(std::string("DHCP: 無効") + arrow + "有効");
    }
    const auto address =
        std::find_if(actual.addresses.begin(), actual.addresses.end(),
                     [&](const auto& a) { return same_address(a.ip, record.ip_add); });
    if (address == actual.addresses.end()) {
        std::vector<std::string> ips;
        for (const auto& a : actual.addresses) {
            ips.push_back(a.ip);
        }
        lines.push_back("IPアドレス: " + record.ip_add + arrow + joined(ips));
    } else if (!same_address(address->mask, record.net_mask)) {
        lines.push_back("サブネットマスク: " + record.net_mask + arrow + or_nothing(address->mask));
    }
    if (!same_address(actual.gateway, record.gateway)) {
        lines.push_back("デフォルトゲートウェイ: " + record.gateway + arrow +
                        or_nothing(actual.gateway));
    }
    if (!dns_as_asked(record, actual.dns)) {
        std::vector<std::string> asked;
        for (const auto* server : {&record.dns1, &record.dns2, &record.dns3}) {
            if (!server->empty()) {
                asked.push_back(*server);
            }
        }
        lines.push_back("DNSサーバー: " + joined(asked) + arrow + joined(actual.dns));
    }
    return lines;
}

bool settings_as_asked(const profile_record& record, const host::ipv4_settings& actual) {
    if (actual.result != host::ipv4_settings::lookup::found ||
        !settings_differences(record, actual).empty()) {
        return false;
    }
    return !dhcp_flag_selects_dhcp(record.dhcp_flag) || actual.not_connected ||
           !actual.addresses.empty();
}

host::ipv4_settings read_back_settings(const profile_record& record, const network_run& run,
                                       host::network_settings& reader, host::waiter& waiter) {
    const std::uint64_t start = waiter.milliseconds();
    host::ipv4_settings actual = reader.read_ipv4(record.connect_name);
    while (run.exit_status == 0 && actual.result == host::ipv4_settings::lookup::found &&
           !actual.not_connected && !settings_as_asked(record, actual) &&
           waiter.milliseconds() - start < read_back_limit_ms) {
        waiter.pause(read_back_pause_ms);
        actual = reader.read_ipv4(record.connect_name);
    }
    return actual;
}

submit_message submit_report(const profile_record& record, const network_run& run,
                             const host::ipv4_settings& actual) {
    switch (actual.result) {
        case host::ipv4_settings::lookup::not_found:
            return failure("接続「" + record.connect_name + "」が見つかりません。\r\n" +
                           "接続名を確認してください。ネットワークの設定は変更されていません。");
        case host::ipv4_settings::lookup::unknown:
            return failure(
                std::string("ネットワークの設定が反映されたか確認できませんでした。") +
                (actual.reason.empty() ? "" : "\r\n" + actual.reason) +
                (run.reason.empty() || run.reason == actual.reason ? "" : "\r\n" + run.reason));
        case host::ipv4_settings::lookup::found:
            break;
    }
    const auto differences = settings_differences(record, actual);
    if (actual.not_connected && differences.empty()) {
        return {"ネットワークの設定を保存しました。\r\n接続がつながると反映されます。",
                mb_information, finished_title};
    }
    const bool run_failed = run.exit_status != 0 && !run.reason.empty();
    if (differences.empty() && !run_failed) {
        return changed_message();
    }
    std::string text = not_applied;
    for (const auto& line : differences) {
        text += "\r\n" + line;
    }
    if (!run.reason.empty()) {
        text += "\r\n理由: " + run.reason;
    }
    return failure(text);
}

submit_message submit_report(const network_run& run) {
    if (run.exit_status == 0) {
        return changed_message();
    }
    return failure(
        std::string(not_applied) + "\r\n" +
        (run.reason.empty() ? "終了コード " + std::to_string(run.exit_status) : run.reason));
}

}  // namespace norvane
