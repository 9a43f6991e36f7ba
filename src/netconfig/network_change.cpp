#include "netconfig/network_change.h"

#include <exception>
#include <utility>

namespace norvane {

namespace {

std::string joined(const std::vector<std::string>& texts, const char* separator) {
    std::string all;
    for (const auto& text : texts) {
        all += (all.empty() ? "" : separator) + text;
    }
    return all;
}

// One run of the record: the script, and the settings read back where they can be.
change_attempt attempt_change(const profile_record& record, const change_context& context) {
    change_attempt attempt;
    attempt.record = record;
    attempt.run = run_network_script(record, context.owner, context.file_system, context.shell);
    if (attempt.run.result != network_run::status::finished) {
        attempt.report = run_failure_message(attempt.run);
        return attempt;
    }
    if (context.reader == nullptr || context.waiter == nullptr) {
        attempt.report = submit_report(attempt.run);
    } else {
        attempt.read_back =
            read_back_settings(record, attempt.run, *context.reader, *context.waiter);
        attempt.report = submit_report(record, attempt.run, *attempt.read_back);
    }
    if (attempt.report.style != mb_critical) {
        attempt.outcome = attempt.read_back && attempt.read_back->not_connected
                              ? change_outcome::stored
                              : change_outcome::confirmed;
    }
    return attempt;
}

// A script that ran may have changed something; one that was refused or never started did not.
bool script_ran(const network_run& run) {
    return run.result == network_run::status::finished ||
           run.result == network_run::status::wait_failed;
}

submit_message way_back_report(const change_attempt& back) {
    switch (back.outcome) {
        case change_outcome::confirmed:
            return {"変更前の設定に戻しました。", mb_information, finished_title};
        case change_outcome::stored:
            return {"変更前の設定を保存しました。\r\n接続がつながると反映されます。",
                    mb_information, finished_title};
        case change_outcome::failed:
            break;
    }
    return {"変更前の設定に戻せませんでした。\r\n" + back.report.text, mb_critical,
            back.report.title};
}

std::string run_text(const network_run& run) {
    if (run.result != network_run::status::finished) {
        return run_failure_message(run).text;
    }
    return "終了コード " + std::to_string(run.exit_status) +
           (run.reason.empty() ? "" : "（" + run.reason + "）");
}

std::string settings_text(const host::ipv4_settings& settings) {
    using lookup = host::ipv4_settings::lookup;
    if (settings.result == lookup::not_found) {
        return "接続が見つかりません";
    }
    if (settings.result == lookup::unknown) {
        return "読み取れません" + (settings.reason.empty() ? "" : "（" + settings.reason + "）");
    }
    std::vector<std::string> parts{settings.dhcp ? "DHCP" : "固定"};
    std::vector<std::string> addresses;
    for (const auto& address : settings.addresses) {
        addresses.push_back(address.ip + "/" + address.mask);
    }
    parts.push_back("IPアドレス " + (addresses.empty() ? "なし" : joined(addresses, ", ")));
    parts.push_back("ゲートウェイ " + (settings.gateway.empty() ? "なし" : settings.gateway));
    parts.push_back("DNS " + (settings.dns.empty() ? "なし" : joined(settings.dns, ", ")));
    if (settings.not_connected) {
        parts.push_back("（未接続: 保存された設定）");
    }
    return joined(parts, " ");
}

// The lines of one attempt, each label led by `lead` ("" for the change, "戻し" for the way
// back).
void attempt_lines(std::string& text, const change_attempt& attempt, const std::string& lead) {
    try {
        for (const auto& line : build_script_lines(attempt.record)) {
            if (!line.empty()) {
                text += lead + "スクリプト: " + line + "\n";
            }
        }
    } catch (const host::host_error& failure) {
        text += lead + "スクリプト: なし（" + failure.description() + "）\n";
    }
    text += lead + "結果: " + run_text(attempt.run) + "\n";
    if (attempt.read_back) {
        text += lead + "読み戻し: " + settings_text(*attempt.read_back) + "\n";
        if (attempt.read_back->result == host::ipv4_settings::lookup::found) {
            std::vector<std::string> differences;
            try {
                differences = settings_differences(attempt.record, *attempt.read_back);
            } catch (const host::host_error&) {
            }
            text += lead + "相違: " + (differences.empty() ? "なし" : joined(differences, " / ")) +
                    "\n";
        }
    }
}

void write_record(const change_context& context, const change_attempt& change,
                  const std::optional<change_attempt>& way_back, bool offered) {
    if (context.log == nullptr) {
        return;
    }
    // The record serves the user afterwards; it never stands in the way of a change.
    try {
        context.log->append(change_record(context.log->local_time(), change, way_back, offered));
    } catch (const std::exception&) {
    }
}

}  // namespace

submit_message run_failure_message(const network_run& run) {
    switch (run.result) {
        case network_run::status::refused:
            return {run.reason, mb_critical, error_title};
        case network_run::status::not_started:
            return {"CMD.EXEが実行できません。", mb_critical, error_title};
        case network_run::status::wait_failed:
            return {"ウェイトできません。", mb_critical, error_title};
        case network_run::status::name_taken:
            return {
                "cmd_tmp.cmd を作成できません。同じ名前のファイルを削除してから、"
                "もう一度実行してください。",
                mb_critical, error_title};
        case network_run::status::failed:
            return {run.reason, mb_critical, numbered_error_title(run.error_number)};
        case network_run::status::finished:
            break;
    }
    return {};
}

profile_record record_from_settings(const std::string& profile_name,
                                    const std::string& connection_name,
                                    const host::ipv4_settings& settings) {
    profile_record record;
    record.profile_name = profile_name;
    record.connect_name = connection_name;
    if (settings.dhcp) {
        record.dhcp_flag.assign(1, '1');  // not = "1": GCC 12 misreads it as an overlapping copy
        return record;
    }
    record.dhcp_flag.assign(1, '0');
    if (!settings.addresses.empty()) {
        record.ip_add = settings.addresses.front().ip;
        record.net_mask = settings.addresses.front().mask;
    }
    record.gateway = settings.gateway;
    std::string* servers[] = {&record.dns1, &record.dns2, &record.dns3};
    for (std::size_t i = 0; i < settings.dns.size() && i < 3; ++i) {
        *servers[i] = settings.dns[i];
    }
    return record;
}

bool settings_fit_a_profile(const host::ipv4_settings& settings) {
    if (settings.result != host::ipv4_settings::lookup::found) {
        return false;
    }
    return settings.dhcp ||
           (!settings.addresses.empty() && !settings.addresses.front().ip.empty() &&
            !settings.addresses.front().mask.empty() && !settings.gateway.empty());
}

change_outcome apply_profile(const profile_record& record, const change_context& context,
                             change_listener& listener) {
    std::optional<profile_record> kept;
    if (context.reader != nullptr && context.waiter != nullptr) {
        const host::ipv4_settings before = context.reader->read_ipv4(record.connect_name);
        if (settings_fit_a_profile(before)) {
            kept = record_from_settings("", record.connect_name, before);
        }
    }

    const change_attempt change = attempt_change(record, context);
    listener.report(change.report);

    std::optional<change_attempt> way_back;
    bool offered = false;
    const bool connection_missing =
        change.read_back && change.read_back->result == host::ipv4_settings::lookup::not_found;
    if (change.outcome == change_outcome::failed && script_ran(change.run) && !connection_missing) {
        if (!kept) {
            listener.no_way_back();
        } else {
            offered = true;
            if (listener.restore_agreed()) {
                way_back = attempt_change(*kept, context);
                listener.report(way_back_report(*way_back));
            }
        }
    }
    write_record(context, change, way_back, offered);
    return change.outcome;
}

std::string change_record(const std::string& time, const change_attempt& change,
                          const std::optional<change_attempt>& way_back, bool way_back_offered) {
    std::string text = "[" + time + "] プロファイル: " + change.record.profile_name +
                       " 接続: " + change.record.connect_name + "\n";
    attempt_lines(text, change, "");
    if (way_back) {
        text += "戻し: 変更前の設定に戻した（" +
                std::string(way_back->outcome == change_outcome::failed ? "失敗" : "成功") + "）\n";
        attempt_lines(text, *way_back, "戻し");
    } else {
        const bool missing =
            change.read_back && change.read_back->result == host::ipv4_settings::lookup::not_found;
        const bool needed =
            change.outcome == change_outcome::failed && script_ran(change.run) && !missing;
        text += way_back_offered ? "戻し: 戻さなかった\n"
                : needed         ? "戻し: 戻せる設定なし\n"
                                 : "戻し: 不要\n";
    }
    text += "\n";
    return text;
}

}  // namespace norvane
