#include "profiles/profile_record.h"

namespace norvane {

std::vector<std::string> split_text(std::string_view text, char separator) {
    std::vector<std::string> pieces;
    std::string_view::size_type start = 0;
    for (;;) {
        auto at = text.find(separator, start);
        if (at == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
}

std::string profile_name_of(std::string_view line) {
    return std::string(line.substr(0, line.find(',')));
}

profile_record record_from_line(std::string_view line) {
    auto pieces = split_text(line, ',');
    pieces.resize(9);
    return {pieces[0], pieces[1], pieces[2], pieces[3], pieces[4],
            pieces[5], pieces[6], pieces[7], pieces[8]};
}

std::string line_from_record(const profile_record& r) {
    return r.profile_name + ',' + r.connect_name + ',' + r.ip_add + ',' + r.net_mask + ',' +
           r.gateway + ',' + r.dns1 + ',' + r.dns2 + ',' + r.dns3 + ',' + r.dhcp_flag;
}

}  // namespace norvane
