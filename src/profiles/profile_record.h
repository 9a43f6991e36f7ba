// A profile and the profile table: the program's picture of profile.dat.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "profiles/line_list.h"

namespace norvane {

// The nine fields of a profile, in the order of a line of profile.dat.
struct profile_record {
    std::string profile_name;
    std::string connect_name;
    std::string ip_add;
    std::string net_mask;
    std::string gateway;
    std::string dns1;
    std::string dns2;
    std::string dns3;
    std::string dhcp_flag;  // "1" DHCP, "0" static

    bool operator==(const profile_record&) const = default;
};

// The raw lines of profile.dat in file order, and whether there is no profile. When there is
// none the table still holds one empty entry, which is not a profile.
struct profile_table {
    line_list profile_lines{std::string_view()};
    bool no_profiles = true;
    // The bytes each line was read from, for a load that finished (otherwise empty). The
    // next load decodes only the lines whose bytes changed.
    line_list line_bytes;
};

// The file name, always used without a directory (the current working directory).
inline constexpr const char* profile_file_name = "profile.dat";

// Cuts a text at every occurrence of the separator ("a,,b" gives "a", "", "b").
std::vector<std::string> split_text(std::string_view text, char separator);

// The profile's name in a line: the text before its first ",", or the whole line.
std::string profile_name_of(std::string_view line);

// The nine fields of a line. A hand-edited line of fewer fields gives empty texts for the
// missing ones; pieces after the ninth are not part of the record.
profile_record record_from_line(std::string_view line);

// The line of a record: its nine fields joined by ",".
std::string line_from_record(const profile_record& record);

}  // namespace norvane
