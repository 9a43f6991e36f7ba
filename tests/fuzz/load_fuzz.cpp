// profile.dat from arbitrary bytes: the load never fails on content, and a Delete of the first
// profile writes every other line back byte for byte (each ending in CR LF, blank lines left
// out), or, for a file that is no code page 932 text (a byte-order mark, a NUL byte), refuses
// and leaves every byte; the reload after it agrees with a load from nothing.
#include <cstdint>

#include "fuzz_folder.h"
#include "host/platform.h"
#include "profiles/profile_store.h"

using namespace norvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::enter_fuzz_folder();
    static const auto files = host::create_file_system();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    testing::write_bytes(profile_file_name, bytes);
    profile_table table;
    std::string error;
    fuzzing::expect(
        load_profiles(*files, table, error) &&
            table.line_bytes.size() == (table.no_profiles ? 0 : table.profile_lines.size()),
        "load", bytes);
    int first = -1;
    std::string expected;
    for (std::size_t i = 0; i < table.line_bytes.size(); ++i) {
        const std::string line(table.line_bytes[i]);
        fuzzing::expect(files->text_of(line) == table.profile_lines[i], "line text", line);
        if (first < 0 && !table.profile_lines[i].empty()) {
            first = static_cast<int>(i);
        } else if (!line.empty()) {
            expected += line + "\r\n";
        }
    }
    if (first < 0) {
        return 0;
    }
    const std::string name = profile_name_of(table.profile_lines[static_cast<std::size_t>(first)]);
    const bool foreign = bytes.find('\0') != std::string::npos || bytes.rfind("\xFF\xFE", 0) == 0 ||
                         bytes.rfind("\xFE\xFF", 0) == 0 || bytes.rfind("\xEF\xBB\xBF", 0) == 0;
    const auto deleted = delete_profile(*files, table, name).result;
    fuzzing::expect(foreign ? deleted == store_result::status::not_shift_jis &&
                                  testing::read_bytes(profile_file_name) == bytes
                            : deleted == store_result::status::done &&
                                  testing::read_bytes(profile_file_name) == expected,
                    "delete changed other lines", bytes);
    profile_table fresh;
    fuzzing::expect(load_profiles(*files, table, error) && load_profiles(*files, fresh, error) &&
                        table.profile_lines == fresh.profile_lines &&
                        table.line_bytes == fresh.line_bytes,
                    "reload differs from a load from nothing", bytes);
    return 0;
}
