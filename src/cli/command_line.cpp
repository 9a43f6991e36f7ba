#include "cli/command_line.h"

#include <exception>
#include <new>
#include <optional>
#include <utility>

#include "netconfig/network_change.h"
#include "profiles/profile_names.h"
#include "profiles/profile_store.h"
#include "startup/startup.h"
#include "ui/about_dialog/about_form.h"

namespace norvane {

namespace {

// The option an argument names ("list" for --list), or "" when it is no option.
std::string option_of(const std::string& argument, bool windows_switches) {
    std::string option;
    if (argument.starts_with("--")) {
        option = argument.substr(2);
    } else if (windows_switches && argument.starts_with("/")) {
        option = argument.substr(1);
    } else {
        return "";
    }
    if (windows_switches) {
        for (char& c : option) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
    }
    return option.empty() ? "-" : option;  // "--" alone is an option, and an unknown one
}

// A command's text with the line ends of a message box turned into lines.
std::string as_lines(std::string text) {
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        lines.push_back(text[i]);
    }
    if (lines.empty() || lines.back() != '\n') {
        lines.push_back('\n');
    }
    return lines;
}

// --apply's side of a change: the reports printed, the way back taken only when asked for.
class apply_listener : public change_listener {
  public:
    apply_listener(command_output& output, bool restore) : output_(output), restore_(restore) {}
    void report(const submit_message& message) override {
        if (message.style == mb_critical) {
            output_.err(as_lines(message.text));
        } else {
            output_.out(as_lines(message.text));
        }
    }
    bool restore_agreed() override {
        if (!restore_) {
            output_.err("変更前の設定に戻すには --restore-on-failure を付けて実行してください。\n");
        }
        return restore_;
    }
    void no_way_back() override {
        if (restore_) {
            output_.err("変更前の設定を読み取れなかったため、戻せません。\n");
        }
    }

  private:
    command_output& output_;
    bool restore_;
};

bool load_table(host::file_system& file_system, profile_table& table, command_output& output) {
    std::string error_text;
    if (!load_profiles(file_system, table, error_text)) {
        output.err(as_lines(error_text));
        return false;
    }
    return true;
}

int list_profiles(host::file_system& file_system, command_output& output) {
    profile_table table;
    if (!load_table(file_system, table, output)) {
        return exit_failed;
    }
    if (table.no_profiles) {
        return exit_done;
    }
    std::string names;
    for (const auto& line : table.profile_lines) {
        if (!line.empty()) {
            names += profile_name_of(line) + "\n";
        }
    }
    output.out(names);
    return exit_done;
}

int apply(const command_line& command, const command_services& services,
          host::file_system& file_system, command_output& output) {
    profile_table table;
    if (!load_table(file_system, table, output)) {
        return exit_failed;
    }
    const int index = command.name.empty() ? -1 : find_profile(table, command.name);
    if (index < 0) {
        output.err("プロファイル「" + command.name + "」はデータベースに存在しません。\n");
        return exit_refused;
    }
    const profile_record record =
        record_from_line(table.profile_lines[static_cast<std::size_t>(index)]);
    apply_listener listener(output, command.restore_on_failure);
    const change_outcome outcome = apply_profile(
        record, {file_system, *services.shell, services.reader, services.waiter, services.log, 0},
        listener);
    switch (outcome) {
        case change_outcome::confirmed:
            return exit_done;
        case change_outcome::stored:
            return exit_stored;
        case change_outcome::failed:
            break;
    }
    return exit_failed;
}

// The connection's settings, or nothing after telling why they cannot be had.
std::optional<host::ipv4_settings> read_connection(const std::string& connection,
                                                   const command_services& services,
                                                   command_output& output) {
    host::ipv4_settings settings;
    if (services.reader != nullptr) {
        settings = services.reader->read_ipv4(connection);
    }
    switch (settings.result) {
        case host::ipv4_settings::lookup::found:
            return settings;
        case host::ipv4_settings::lookup::not_found:
            output.err("接続「" + connection +
                       "」が見つかりません。\n接続名を確認してください。\n");
            return std::nullopt;
        case host::ipv4_settings::lookup::unknown:
            break;
    }
    output.err("接続「" + connection + "」の設定を読み取れませんでした。\n" +
               (settings.reason.empty() ? "" : as_lines(settings.reason)));
    return std::nullopt;
}

int show(const command_line& command, const command_services& services, command_output& output) {
    const auto settings = read_connection(command.connection, services, output);
    if (!settings) {
        return exit_failed;
    }
    output.out(line_from_record(record_from_settings("", command.connection, *settings)) + "\n");
    return exit_done;
}

int capture(const command_line& command, const command_services& services,
            host::file_system& file_system, command_output& output) {
    if (command.name.empty()) {
        output.err("プロファイル名を入力してください。\n");
        return exit_refused;
    }
    if (const auto message = unstorable_name_message(command.name, profile_name_field, file_system);
        !message.empty()) {
        output.err(as_lines(message));
        return exit_refused;
    }
    profile_table table;
    if (!load_table(file_system, table, output)) {
        return exit_failed;
    }
    const auto settings = read_connection(command.connection, services, output);
    if (!settings) {
        return exit_failed;
    }
    if (const auto message =
            unstorable_name_message(command.connection, connection_name_field, file_system);
        !message.empty()) {
        output.err(as_lines(message));
        return exit_failed;
    }
    if (!settings_fit_a_profile(*settings)) {
        output.err(
            "接続「" + command.connection +
            "」の設定はプロファイルにできません。\n"
            "固定のIPアドレス、サブネットマスク、デフォルトゲートウェイのどれかがありません。\n");
        return exit_failed;
    }
    const profile_record record = record_from_settings(command.name, command.connection, *settings);
    const store_result saved = save_profile(file_system, table, record, false);
    switch (saved.result) {
        case store_result::status::done:
            output.out("データベースを更新しました。\n");
            return exit_done;
        case store_result::status::needs_consent:
            output.err("プロファイル名「" + command.name +
                       "」は既に存在します。上書きはしません。\n");
            return exit_refused;
        case store_result::status::shared_place:
        case store_result::status::not_shift_jis:
            output.err(untouched_file_message(saved.result) + "\n");
            return exit_failed;
        case store_result::status::not_found:
        case store_result::status::failed:
            break;
    }
    output.err(
        "データベースファイルをオープンできませんでした。\n"
        "データベースは更新されていません。\n" +
        (saved.error_description.empty()
             ? ""
             : saved.error_description + "(" + std::to_string(saved.error_number) + ")\n"));
    return exit_failed;
}

}  // namespace

command_line parse_command_line(const std::vector<std::string>& arguments, bool windows_switches) {
    bool any_option = false;
    for (const auto& argument : arguments) {
        any_option = any_option || !option_of(argument, windows_switches).empty();
    }
    if (!any_option) {
        return {};
    }
    using action = command_line::action;
    command_line command;
    command.what = action::usage_error;
    std::vector<std::string> rest = arguments;
    const auto option_at = [&](std::size_t i) {
        return i < rest.size() ? option_of(rest[i], windows_switches) : std::string();
    };
    if (option_at(0) == "restore-on-failure") {  // also before --apply
        command.restore_on_failure = true;
        rest.erase(rest.begin());
    } else if (rest.size() == 3 && option_at(0) == "apply" &&
               option_at(2) == "restore-on-failure") {
        command.restore_on_failure = true;
        rest.pop_back();
    }
    const std::string first = option_at(0);
    if (command.restore_on_failure && first != "apply") {
        return command;
    }
    if (rest.size() == 1 && first == "list") {
        command.what = action::list;
    } else if (rest.size() == 1 && (first == "help" || (windows_switches && first == "?"))) {
        command.what = action::help;
    } else if (rest.size() == 1 && first == "version") {
        command.what = action::version;
    } else if (rest.size() == 2 && first == "apply") {
        command.what = action::apply;
        command.name = rest[1];
    } else if (rest.size() == 2 && first == "show") {
        command.what = action::show;
        command.connection = rest[1];
    } else if (rest.size() == 3 && first == "capture") {
        command.what = action::capture;
        command.name = rest[1];
        command.connection = rest[2];
    }
    return command;
}

std::vector<std::string> split_windows_command_line(const std::string& line) {
    std::vector<std::string> arguments;
    std::string current;
    bool in_argument = false;
    bool quoted = false;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == '\\') {
            std::size_t backslashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++backslashes;
                ++i;
            }
            in_argument = true;
            if (i < line.size() && line[i] == '"') {
                current.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    current.push_back('"');
                    ++i;
                }
            } else {
                current.append(backslashes, '\\');
            }
            continue;
        }
        if (c == '"') {
            in_argument = true;
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                current.push_back('"');  // "" inside quotes is one quote
                i += 2;
                continue;
            }
            quoted = !quoted;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (in_argument) {
                arguments.push_back(std::move(current));
                current.clear();
                in_argument = false;
            }
        } else {
            in_argument = true;
            current.push_back(c);
        }
        ++i;
    }
    if (in_argument) {
        arguments.push_back(std::move(current));
    }
    return arguments;
}

std::string usage_text(bool windows_switches) {
    std::string text =
        "使い方: norvane [オプション]\n"
        "  オプションなし          ウィンドウを開きます。\n"
        "  --list                  プロファイル名を、ファイルの順に一行に一つずつ表示します。\n"
        "  --apply 名前 [--restore-on-failure]\n"
        "                          "
        "プロファイルを「適用」と同じように適用し、設定を読み戻して確かめます。\n"
        "                          --restore-on-failure: 失敗したときは変更前の設定に戻します。\n"
        "  --show 接続名           接続の現在のIPv4設定を、プロファイル名の空いた profile.dat "
        "の一行で表示します。\n"
        "  --capture 名前 接続名   接続の現在の設定を、プロファイルとして profile.dat "
        "に追加します\n"
        "                          （同じ名前のプロファイルがあるときは追加しません）。\n"
        "  --help                  この説明を表示します。\n"
        "  --version               バージョンを表示します。\n";
    if (windows_switches) {
        text += "「--」の代わりに「/」でも指定できます（/list、/apply 名前 など）。\n";
    }
    text +=
        "profile.dat は現在のフォルダーのものを使います。\n"
        "終了コード: 0 成功、1 失敗（実行の失敗、設定の相違、ファイルの読み書きの失敗）、\n"
        "            2 プロファイルがない・名前が使えない・引数の誤り、\n"
        "            3 設定は保存したが接続がつながっていない。\n";
    return text;
}

int run_command(const command_line& command, const command_services& services,
                command_output& output) {
    using action = command_line::action;
    try {
        switch (command.what) {
            case action::help: {
                std::string text = usage_text(services.windows_switches);
                if (services.log != nullptr && !services.log->location().empty()) {
                    text += "変更の記録: " + services.log->location() + "\n";
                }
                output.out(text);
                return exit_done;
            }
            case action::version:
                output.out("Norvane " + make_version_text() + "\n");
                return exit_done;
            case action::usage_error:
            case action::window:
                output.err(usage_text(services.windows_switches));
                return exit_refused;
            case action::list:
            case action::apply:
            case action::show:
            case action::capture:
                break;
        }
        std::string os_name;
        if (!get_os_name(os_name, services.query_version)) {
            output.err("このプログラムはWindows2000専用です。\n" + os_name +
                       " 上では動作いたしません。\n");
            return exit_failed;
        }
        if (command.what == action::show) {
            return show(command, services, output);
        }
        const std::unique_ptr<host::file_system> file_system = services.create_file_system();
        switch (command.what) {
            case action::list:
                return list_profiles(*file_system, output);
            case action::apply:
                return apply(command, services, *file_system, output);
            default:
                return capture(command, services, *file_system, output);
        }
    } catch (const host::host_error& failure) {
        output.err(failure.description() + "(" + std::to_string(failure.number()) + ")\n");
    } catch (const std::bad_alloc&) {
        output.err("メモリが不足しています。\n");
    } catch (const std::exception&) {
        output.err("内部エラーが発生しました。\n");
    }
    return exit_failed;
}

}  // namespace norvane
