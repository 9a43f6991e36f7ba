// norvane-cmd: the command interpreter that runs the program's command scripts on this host.
// Usage: norvane-cmd SCRIPT
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <system_error>

#include "host/posix/cmd/interpreter.h"
#include "host/posix/nmcli_messages.h"
#include "host/posix/process_runner.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "使い方: norvane-cmd スクリプト\n";
        return 1;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::cerr << "'" << argv[1]
                  << "' は、内部コマンドまたは外部コマンド、"
                     "操作可能なプログラムまたはバッチ ファイルとして認識されていません。\n";
        return 1;
    }
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};

    std::error_code error;
    const std::string prompt = std::filesystem::current_path(error).string() + ">";
    // nmcli's messages untranslated: the reasons are the program's own words, chosen by nmcli's
    // exit status and, where that does not tell, by its message.
    norvane::host::runner_options options;
    options.environment = norvane::host::nmcli_untranslated_environment();
    auto runner = norvane::host::create_process_runner(options);
    norvane::cmd::interpreter interpreter(*runner, std::cout, std::cerr, prompt);
    return interpreter.run_bytes(bytes);
}
