// The command interpreter.
#include "host/posix/cmd/interpreter.h"

#include <algorithm>
#include <cstring>

#include "host/cp932.h"
#include "host/posix/cmd/cmd_line.h"
#include "host/posix/cmd/netsh_command.h"
#include "host/posix/nmcli_messages.h"

namespace norvane::cmd {

interpreter::interpreter(command_runner& runner, std::ostream& out, std::ostream& err,
                         std::string prompt, std::string nmcli, routes_probe other_routes)
    : runner_(runner),
      out_(out),
      err_(err),
      prompt_(std::move(prompt)),
      nmcli_(std::move(nmcli)),
      other_routes_(std::move(other_routes)) {}

int interpreter::run_bytes(const std::string& bytes) {
    return run_text(host::from_cp932(bytes));
}

int interpreter::run_text(const std::string& text) {
    echo_ = true;
    failed_ = false;
    reason_.clear();
    changes_.clear();
    // The script stops at the first line that fails. What the lines before it changed is saved
    // all the same, as netsh would have saved it line by line, but nothing is brought up.
    for (const std::string& line : split_lines(text)) {
        run_line(line);
        if (failed_) {
            break;
        }
    }
    // The saved settings take effect when each changed connection comes up, once, after the
    // script's last line: a script that holds several blocks ends in the state of its last.
    if (save_changes() && !failed_) {
        for (const connection_changes& connection : changes_) {
            if (!call(up_call(connection.name), nullptr, connection.name)) {
                break;
            }
        }
    }
    out_.flush();
    if (!failed_) {
        return 0;
    }
    err_ << reason_ << '\n';  // the last line: the reason the program shows
    err_.flush();
    return 1;
}

void interpreter::fail(const std::string& reason) {
    if (!failed_) {
        reason_ = reason;
    }
    failed_ = true;
}

void interpreter::run_line(const std::string& line) {
    const script_line parsed = parse_line(line);
    const std::size_t first = line.find_first_not_of(" \t");
    const bool echoed_kind = first != std::string::npos && line[first] != ':';
    if (echo_ && !parsed.quiet && echoed_kind) {
        out_ << prompt_ << line.substr(first) << '\n';
    }
    switch (parsed.kind) {
        case line_kind::nothing:
            break;
        case line_kind::echo_off:
            echo_ = false;
            break;
        case line_kind::echo_on:
            echo_ = true;
            break;
        case line_kind::echo_state:
            out_ << (echo_ ? "ECHO は <ON> です。" : "ECHO は <OFF> です。") << '\n';
            break;
        case line_kind::echo_text:
            out_ << parsed.text << '\n';
            break;
        case line_kind::netsh:
            run_netsh(parsed.words);
            break;
        case line_kind::unsupported:
            fail("この行は実行できません (&, |, <, > には対応していません): " + line);
            break;
        case line_kind::unknown:
            fail("'" + parsed.name +
                 "' は、内部コマンドまたは外部コマンド、"
                 "操作可能なプログラムまたはバッチ ファイルとして認識されていません。");
            break;
    }
    out_.flush();
}

interpreter::connection_changes& interpreter::changes_of(const std::string& connection) {
    const auto known = std::find_if(changes_.begin(), changes_.end(),
                                    [&](const auto& c) { return c.name == connection; });
    if (known != changes_.end()) {
        return *known;
    }
    changes_.push_back({connection, {}, false, ""});
    return changes_.back();
}

void interpreter::run_netsh(const std::vector<std::string>& words) {
    const netsh_parse_result parsed = parse_netsh(words);
    if (!parsed.command) {
        fail(parsed.error);
        return;
    }
    const netsh_command& command = *parsed.command;
    connection_changes& changes = changes_of(command.connection);
    // The routes the connection had before the script: the script itself only ever replaces
    // the default route entries among them, so a profile known to hold no other route has
    // nothing to keep.
    if (needs_current_routes(command) && !changes.routes_read) {
        if (other_routes_ && other_routes_(command.connection) == false) {
            changes.routes.clear();
        } else if (!call(routes_query_call(command.connection), &changes.routes,
                         command.connection)) {
            return;
        }
        changes.routes_read = true;
    }
    gather_properties(changes.properties, command_properties(command, changes.routes));
}

bool interpreter::save_changes() {
    for (const connection_changes& connection : changes_) {
        if (!connection.properties.empty() &&
            !call(modify_call(connection.name, connection.properties), nullptr, connection.name)) {
            return false;
        }
    }
    return true;
}

bool interpreter::call(const std::vector<std::string>& arguments, std::string* output,
                       const std::string& connection) {
    std::vector<std::string> started = arguments;
    started.front() = nmcli_;  // the calls name nmcli; this is the program that runs
    const process_result result = runner_.run(started);
    if (output != nullptr) {
        *output = result.output;
    } else {
        out_ << result.output;
    }
    if (result.succeeded()) {
        return true;
    }
    if (!result.started) {
        fail(nmcli_ + " を実行できません: " + std::strerror(result.start_error));
        return false;
    }
    // nmcli's own words go to err as they are; the reason comes last.
    if (!result.errors.empty()) {
        err_ << result.errors;
        if (result.errors.back() != '\n') {
            err_ << '\n';
        }
    }
    fail(host::nmcli_failure_reason(connection, result.exit_status, result.errors));
    return false;
}

}  // namespace norvane::cmd
