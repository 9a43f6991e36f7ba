// The script builder and its refusals: a record that is not refused becomes lines that the
// command interpreter reads as the program meant them: "@echo off", then netsh commands for
// that very connection, with nothing chained, piped or redirected.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>

#include "fuzz_folder.h"
#include "host/cp932.h"
#include "host/platform.h"
#include "host/posix/cmd/cmd_line.h"
#include "host/posix/cmd/netsh_command.h"
#include "netconfig/network_script.h"

using namespace norvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto files = host::create_file_system();
    FuzzedDataProvider input(data, size);
    profile_record record;
    for (std::string* field :
         {&record.profile_name, &record.connect_name, &record.ip_add, &record.net_mask,
          &record.gateway, &record.dns1, &record.dns2, &record.dns3, &record.dhcp_flag}) {
        *field = input.ConsumeRandomLengthString(64);
    }
    std::array<std::string, 5> lines;
    try {
        lines = build_script_lines(record);
        if (unsafe_record_message(record, *files)) {
            return 0;  // refused: nothing is written
        }
    } catch (const host::host_error& error) {
        fuzzing::expect(error.number() == host::type_mismatch, "unexpected failure",
                        error.description());
        return 0;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty()) {
            continue;
        }
        // As the interpreter reads it back from the file.
        const auto line = cmd::parse_line(host::from_cp932(host::to_cp932(lines[i])));
        fuzzing::expect(line.kind == (i == 0 ? cmd::line_kind::echo_off : cmd::line_kind::netsh),
                        "line read as another kind", lines[i]);
        if (i == 0 || record.connect_name.empty()) {
            continue;
        }
        fuzzing::expect(line.words.size() >= 5 && line.words[4] == record.connect_name,
                        "another connection", lines[i]);
        const auto parsed = cmd::parse_netsh(line.words);
        fuzzing::expect(!parsed.command || parsed.command->connection == record.connect_name,
                        "netsh command for another connection", lines[i]);
    }
    return 0;
}
