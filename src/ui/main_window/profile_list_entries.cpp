#include "ui/main_window/profile_list_entries.h"

namespace norvane {

void profile_list_entries::take(const profile_table& table) {
    table_ = &table;
    lines_.clear();
    if (table.no_profiles) {
        return;
    }
    lines_.reserve(table.profile_lines.size());
    for (std::size_t i = 0; i < table.profile_lines.size(); ++i) {
        if (!table.profile_lines[i].empty()) {  // a blank line of a hand-edited file
            lines_.push_back(static_cast<std::uint32_t>(i));
        }
    }
}

std::string_view profile_list_entries::name(int i) const {
    if (table_ == nullptr || i < 0 || i >= count()) {
        return {};
    }
    const auto line = lines_[static_cast<std::size_t>(i)];
    if (line >= table_->profile_lines.size()) {
        return {};
    }
    const std::string_view text = table_->profile_lines[line];
    return text.substr(0, text.find(','));
}

}  // namespace norvane
