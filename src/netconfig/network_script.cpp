#include "netconfig/network_script.h"

#include <cctype>
#include <utility>
#include <vector>

namespace norvane {

bool dhcp_flag_selects_dhcp(const std::string& flag) {
    std::string::size_type i = 0;
    const auto n = flag.size();
    while (i < n && flag[i] == ' ') {
        ++i;
    }
    if (i < n && (flag[i] == '+' || flag[i] == '-')) {
        ++i;
    }
    bool digits = false;
    bool non_zero = false;
    bool point = false;
    for (; i < n && flag[i] != ' '; ++i) {
        const char c = flag[i];
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            digits = true;
            non_zero = non_zero || c != '0';
        } else {
            throw host::host_error(host::type_mismatch);
        }
    }
    while (i < n && flag[i] == ' ') {
        ++i;
    }
    if (!digits || i != n) {
        throw host::host_error(host::type_mismatch);
    }
    return non_zero;
}

namespace {

std::string quoted(const std::string& name) {
    return "\"" + name + "\"";
}

bool is_dotted_text(const std::string& text) {
    for (unsigned char c : text) {
        if (!std::isdigit(c) && c != '.') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::array<std::string, 5> build_script_lines(const profile_record& record) {
    std::array<std::string, 5> slot;
    slot[0] = "@echo off";
    const std::string name = quoted(record.connect_name);
    if (dhcp_flag_selects_dhcp(record.dhcp_flag)) {
        slot[1] = "netsh interface ip set address " + name + " dhcp";
        slot[2] = "netsh interface ip set dns " + name + " dhcp";
        return slot;
    }
    slot[1] = "netsh interface ip set address " + name + " static " + record.ip_add + " " +
              record.net_mask + " " + record.gateway + " 1";
    if (!record.dns1.empty()) {
        slot[2] = "netsh interface ip set dns " + name + " static " + record.dns1;
    }
    if (!record.dns2.empty()) {
        slot[3] = "netsh interface ip add dns " + name + " " + record.dns2;
    }
    if (!record.dns3.empty()) {
        slot[4] = "netsh interface ip add dns " + name + " " + record.dns3;
    }
    return slot;
}

std::optional<std::string> unsafe_record_message(const profile_record& record,
                                                 host::file_system& file_system) {
    for (unsigned char c : record.connect_name) {
        // netsh reads a word "tag=value" as that parameter: "name=LAN" would name LAN.
        if (c == '"' || c == '%' || c == '=' || c < 0x20 || c == 0x7F) {
            return "接続名に使用できない文字（\"、%、=、改行などの制御文字）が含まれています。"
                   "接続名を確認してください。";
        }
    }
    if (host::holds_undecodable_bytes(record.connect_name) ||
        !file_system.can_store_in_command_script(record.connect_name)) {
        return "接続名にこのシステムの文字コードで表せない文字が含まれています。"
               "接続名を確認してください。";
    }
    if (dhcp_flag_selects_dhcp(record.dhcp_flag)) {
        return std::nullopt;  // the address fields are not part of a DHCP script
    }
    const struct {
        const std::string* value;
        const char* field;
    } addresses[] = {{&record.ip_add, "IPアドレス"},
                     {&record.net_mask, "サブネットマスク"},
                     {&record.gateway, "ディフォルトゲートウェイ"},
                     {&record.dns1, "優先DNS"},
                     {&record.dns2, "代替DNS"},
                     {&record.dns3, "3番目のDNS"}};
    for (const auto& address : addresses) {
        if (!is_dotted_text(*address.value)) {
            return std::string(address.field) + "に数字と「.」以外の文字が含まれています。" +
                   address.field + "を確認してください。";
        }
    }
    return std::nullopt;
}

network_run run_network_script(const profile_record& record, host::window_handle owner_window,
                               host::file_system& file_system, host::shell& shell) {
    using status = network_run::status;
    try {
        const auto slot = build_script_lines(record);
        if (auto refusal = unsafe_record_message(record, file_system)) {
            return {status::refused, 0, std::move(*refusal)};
        }
        // Each Submit makes its own script; a leftover of its name (a failed run's, or anyone
        // else's) is removed and never run.
        std::vector<std::string> lines;
        for (const auto& line : slot) {
            if (!line.empty()) {
                lines.push_back(line);
            }
        }
        const auto script = file_system.create_command_script(script_file_name, lines);
        if (!script) {
            return {status::name_taken};
        }

        const host::script_run run = shell.run_script(*script, owner_window);
        switch (run.result) {
            case host::script_run::status::not_started:
                return {status::not_started};
            case host::script_run::status::wait_failed:
                return {status::wait_failed};
            case host::script_run::status::finished:
                break;
        }
        script->remove();
        return {status::finished, run.exit_status, run.reason};
    } catch (const host::host_error& failure) {
        return {status::failed, 0, failure.description(), failure.number()};
    }
}

}  // namespace norvane
