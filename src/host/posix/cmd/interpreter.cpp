// The command interpreter.
#include "host/posix/cmd/interpreter.h"

#include <algorithm>
#include <cstring>

#include "host/cp932.h"
#include "host/posix/cmd/cmd_line.h"
#include "host/posix/cmd/netsh_command.h"
#include "host/posix/cmd/nmcli_calls.h"
#include "host/posix/nmcli_messages.h"

namespace norvane::cmd {

interpreter::interpreter(command_runner& runner, std::ostream& out, std::ostream& err,
                         std::string prompt)
    : runner_(runner), out_(out), err_(err), prompt_(std::move(prompt)) {}

int interpreter::run_bytes(const std::string& bytes) {
    return run_text(host::from_cp932(bytes));
}

int interpreter::run_text(const std::string& text) {
    echo_ = true;
    failed_ = false;
    changed_connections_.clear();
    // The script stops at the first line that fails, and the last line written to err is then
    // the reason, for the program to show.
    for (const std::string& line : split_lines(text)) {
        run_line(line);
        if (failed_) {
            out_.flush();
            return 1;
        }
    }
    // The saved settings take effect when each changed connection comes up, once, after the
    // script's last line: a script that holds several blocks ends in the state of its last.
    for (const std::string& connection : changed_connections_) {
        if (!call(up_call(connection), nullptr, connection)) {
            break;
        }
    }
    out_.flush();
    return failed_ ? 1 : 0;
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
            err_ << "この行は実行できません (&, |, <, > には対応していません): " << line << '\n';
            failed_ = true;
            break;
        case line_kind::unknown:
            err_ << "'" << parsed.name
                 << "' は、内部コマンドまたは外部コマンド、"
                    "操作可能なプログラムまたはバッチ ファイルとして認識されていません。\n";
            failed_ = true;
            break;
    }
    out_.flush();
}

void interpreter::run_netsh(const std::vector<std::string>& words) {
    const netsh_parse_result parsed = parse_netsh(words);
    if (!parsed.command) {
        err_ << parsed.error << '\n';
        failed_ = true;
        return;
    }
    const netsh_command& command = *parsed.command;
    std::string routes;
    if (needs_current_routes(command) &&
        !call(routes_query_call(command.connection), &routes, command.connection)) {
        return;
    }
    if (!call(modify_call(command, routes), nullptr, command.connection)) {
        return;
    }
    if (std::find(changed_connections_.begin(), changed_connections_.end(), command.connection) ==
        changed_connections_.end()) {
        changed_connections_.push_back(command.connection);
    }
}

bool interpreter::call(const std::vector<std::string>& arguments, std::string* output,
                       const std::string& connection) {
    const process_result result = runner_.run(arguments);
    if (output != nullptr) {
        *output = result.output;
    } else {
        out_ << result.output;
    }
    if (result.succeeded()) {
        return true;
    }
    failed_ = true;
    if (!result.started) {
        err_ << arguments.front() << " を実行できません: " << std::strerror(result.start_error)
             << '\n';
        return false;
    }
    // nmcli's own words first, then the one line the program shows.
    if (!result.errors.empty()) {
        err_ << result.errors;
        if (result.errors.back() != '\n') {
            err_ << '\n';
        }
    }
    err_ << host::nmcli_failure_reason(connection, result.exit_status, result.errors) << '\n';
    return false;
}

}  // namespace norvane::cmd
