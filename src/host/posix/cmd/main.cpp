// norvane-cmd: the command interpreter that runs the program's command scripts on this host.
// Usage: norvane-cmd SCRIPT                  (by hand: the script is read by its name)
//        norvane-cmd --script-fd N SCRIPT    (the program: the script is read from the open
//                                             descriptor N, from its start; SCRIPT only names
//                                             it in messages)
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "host/posix/cmd/interpreter.h"
#include "host/posix/network_settings_posix.h"
#include "host/posix/nmcli_messages.h"
#include "host/posix/process_runner.h"

namespace {

// The whole content of an open file from its start, whatever its offset is; nothing when it
// cannot be read (errno tells why).
std::optional<std::string> read_descriptor(int fd) {
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(bytes.size()));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

// A descriptor number: digits alone.
std::optional<int> descriptor_number(std::string_view text) {
    int number = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || number < 0) {
        return std::nullopt;
    }
    return number;
}

}  // namespace

int main(int argc, char** argv) {
    const bool handed = argc == 4 && std::string_view(argv[1]) == "--script-fd";
    const std::optional<int> fd = handed ? descriptor_number(argv[2]) : std::nullopt;
    if ((argc != 2 && !handed) || (handed && !fd)) {
        std::cerr << "使い方: norvane-cmd [--script-fd 番号] スクリプト\n";
        return 1;
    }
    const char* const name = argv[argc - 1];
    std::string bytes;
    if (handed) {
        const std::optional<std::string> read = read_descriptor(*fd);
        if (!read) {
            std::cerr << "'" << name << "' を読み込めません: " << std::strerror(errno) << "\n";
            return 1;
        }
        bytes = *read;
    } else {
        std::ifstream file(name, std::ios::binary);
        if (!file) {
            std::cerr << "'" << name
                      << "' は、内部コマンドまたは外部コマンド、"
                         "操作可能なプログラムまたはバッチ ファイルとして認識されていません。\n";
            return 1;
        }
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    std::error_code error;
    const std::string prompt = std::filesystem::current_path(error).string() + ">";
    // nmcli by its full path, with its messages untranslated: the reasons are the program's own
    // words, chosen by nmcli's exit status and, where that does not tell, by its message.
    norvane::host::runner_options options;
    options.search_path = false;
    options.environment = norvane::host::nmcli_untranslated_environment();
    auto runner = norvane::host::create_process_runner(options);
    // Whether a profile holds routes of the user's own is asked over the system bus: when it
    // holds none, nmcli need not be started to read them.
    const auto other_routes = [](const std::string& connection) {
        return norvane::host::nm_other_routes(norvane::host::find_nm_connection, connection);
    };
    norvane::cmd::interpreter interpreter(*runner, std::cout, std::cerr, prompt,
                                          norvane::host::nmcli_program(), other_routes);
    return interpreter.run_bytes(bytes);
}
