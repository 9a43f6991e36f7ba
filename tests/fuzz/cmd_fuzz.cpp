// The interpreter's reading of any script: lines, words, what each line asks for and the
// netsh commands, on arbitrary text.
#include <cstdint>

#include "fuzz_folder.h"
#include "host/cp932.h"
#include "host/posix/cmd/cmd_line.h"
#include "host/posix/cmd/netsh_command.h"

using namespace norvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string script =
        host::from_cp932(std::string(reinterpret_cast<const char*>(data), size));
    for (const std::string& text : cmd::split_lines(script)) {
        const auto line = cmd::parse_line(text);
        if (line.kind != cmd::line_kind::netsh) {
            continue;
        }
        const auto parsed = cmd::parse_netsh(line.words);
        fuzzing::expect(parsed.command.has_value() == parsed.error.empty(),
                        "neither a command nor a message, or both", text);
        for (const std::string& word : line.words) {
            const auto length = cmd::prefix_length_of(word);
            fuzzing::expect(!length || (*length >= 0 && *length <= 32), "prefix length", word);
            fuzzing::expect(!cmd::is_ipv4_address(word) || word.size() <= 15, "address", word);
        }
    }
    return 0;
}
