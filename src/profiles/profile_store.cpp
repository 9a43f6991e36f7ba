#include "profiles/profile_store.h"

#include <vector>

namespace norvane {

namespace {

std::string failure_text(const host::host_error& failure) {
    return failure.description() + "(" + std::to_string(failure.number()) + ")";
}

store_result failed(const host::host_error& failure) {
    return {store_result::status::failed, failure.number(), failure.description()};
}

// The first non-blank line of that name, or -1. Blank lines have no name and are passed over.
int find_line(const std::vector<std::string>& lines, const std::string& name) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].empty() && profile_name_of(lines[i]) == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Reads the file as it stands, through a rewriting stream that holds the file's lock.
std::vector<std::string> read_current_lines(host::text_stream& stream) {
    std::vector<std::string> lines;
    while (!stream.at_end_of_stream()) {
        lines.push_back(stream.read_line());
    }
    return lines;
}

}  // namespace

int find_profile(const profile_table& table, const std::string& name) {
    return table.no_profiles ? -1 : find_line(table.profile_lines, name);
}

bool load_profiles(host::file_system& file_system, profile_table& table, std::string& error_text) {
    table.profile_lines.assign(1, std::string());
    table.no_profiles = true;
    try {
        if (!file_system.file_exists(profile_file_name)) {
            return true;
        }
        auto stream = file_system.open_text_file(profile_file_name, host::for_reading);
        std::size_t i = 0;
        while (!stream->at_end_of_stream()) {
            std::string line = stream->read_line();
            table.profile_lines.resize(i + 1);
            table.profile_lines[i] = std::move(line);
            ++i;
        }
        stream->close();
        if (i > 0) {
            table.no_profiles = false;
        }
        return true;
    } catch (const host::host_error& failure) {
        error_text = failure_text(failure);
        return false;
    }
}

store_result save_profile(host::file_system& file_system, const profile_table& table,
                          const profile_record& record, bool overwrite_agreed) {
    const std::string line = line_from_record(record);
    const bool exists = find_profile(table, record.profile_name) >= 0;
    if (exists && !overwrite_agreed) {
        return {store_result::status::needs_consent, 0, ""};
    }
    try {
        if (!exists) {
            auto stream = file_system.open_text_file(profile_file_name, host::for_appending, true);
            stream->write_line(line);
            stream->close();
            return {};
        }
        auto stream = file_system.open_text_file(profile_file_name, host::for_writing, false);
        auto lines = read_current_lines(*stream);
        // The same first-match rule on the file as it is now; should the profile have been
        // deleted meanwhile, it is saved as a new last line.
        const int at = find_line(lines, record.profile_name);
        if (at >= 0) {
            lines[static_cast<std::size_t>(at)] = line;
        } else {
            lines.push_back(line);
        }
        for (const auto& each : lines) {
            stream->write_line(each);
        }
        stream->close();
        return {};
    } catch (const host::host_error& failure) {
        return failed(failure);
    }
}

store_result delete_profile(host::file_system& file_system, profile_table& table,
                            const std::string& name) {
    const int index = find_profile(table, name);
    if (index < 0) {
        return {store_result::status::not_found, 0, ""};
    }
    try {
        auto stream = file_system.open_text_file(profile_file_name, host::for_writing, false);
        auto lines = read_current_lines(*stream);
        const int at = find_line(lines, name);
        for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
            const auto& each = lines[static_cast<std::size_t>(i)];
            if (i != at && !each.empty()) {
                stream->write_line(each);
            }
        }
        stream->close();
    } catch (const host::host_error& failure) {
        return failed(failure);
    }
    table.profile_lines[static_cast<std::size_t>(index)].clear();
    return {};
}

}  // namespace norvane
