#include "profiles/profile_store.h"

#include <utility>
#include <vector>

namespace norvane {

namespace {

using byte_lines = std::vector<std::string>;

std::string failure_text(const host::host_error& failure) {
    return failure.description() + "(" + std::to_string(failure.number()) + ")";
}

store_result failed(const host::host_error& failure) {
    return {store_result::status::failed, failure.number(), failure.description()};
}

// Whether the line's name (the text before its first ",") is that name, which holds no ",".
bool has_name(const std::string& line, const std::string& name) {
    return line.size() >= name.size() && (line.size() == name.size() || line[name.size()] == ',') &&
           line.compare(0, name.size(), name) == 0;
}

// The first non-blank line of that name, or -1. Blank lines have no name and are passed over.
int find_line(const std::vector<std::string>& lines, const std::string& name) {
    if (name.find(',') != std::string::npos) {
        return -1;  // no line's name holds one
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].empty() && has_name(lines[i], name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Reads the file as it stands, undecoded, through a rewriting stream that holds its lock.
byte_lines read_current_lines(host::text_stream& stream) {
    byte_lines lines;
    while (!stream.at_end_of_stream()) {
        lines.push_back(stream.read_line_bytes());
    }
    return lines;
}

// The first line of that name in the file as it stands. When the file holds what the last
// load read, the table's texts answer; otherwise each line's name is decoded. A name ends at
// the first "," byte, which no two-byte character of the code page contains.
int find_current_line(host::file_system& file_system, const profile_table& table,
                      const byte_lines& lines, const std::string& name) {
    if (!lines.empty() && table.line_bytes == lines && table.profile_lines.size() == lines.size()) {
        return find_profile(table, name);
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].empty() && file_system.text_of(profile_name_of(lines[i])) == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

int find_profile(const profile_table& table, const std::string& name) {
    return table.no_profiles ? -1 : find_line(table.profile_lines, name);
}

bool load_profiles(host::file_system& file_system, profile_table& table, std::string& error_text) {
    profile_table before = std::move(table);
    table = profile_table{};
    try {
        if (!file_system.file_exists(profile_file_name)) {
            return true;
        }
        auto stream = file_system.open_text_file(profile_file_name, host::for_reading);
        byte_lines bytes;
        std::size_t i = 0;
        std::size_t match = 0;  // where the line read is looked for in the table before
        while (!stream->at_end_of_stream()) {
            std::string line = stream->read_line_bytes();
            std::string text;
            const auto same = [&](std::size_t at) {
                return at < before.line_bytes.size() && at < before.profile_lines.size() &&
                       before.line_bytes[at] == line;
            };
            // A line saved over or deleted shifts the rest by at most one place.
            if (same(match) || same(match + 1)) {
                match += same(match) ? 0 : 1;
                text = std::move(before.profile_lines[match++]);
            } else {
                text = file_system.text_of(line);
                ++match;
            }
            table.profile_lines.resize(i + 1);
            table.profile_lines[i] = std::move(text);
            bytes.push_back(std::move(line));
            ++i;
        }
        stream->close();
        if (i > 0) {
            table.no_profiles = false;
        }
        table.line_bytes = std::move(bytes);
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
        const std::string line_bytes = file_system.bytes_of(line);
        if (!exists) {
            auto stream = file_system.open_text_file(profile_file_name, host::for_appending, true);
            stream->write_line_bytes(line_bytes);
            stream->close();
            return {};
        }
        auto stream = file_system.open_text_file(profile_file_name, host::for_writing, false);
        auto lines = read_current_lines(*stream);
        // The same first-match rule on the file as it is now; should the profile have been
        // deleted meanwhile, it is saved as a new last line.
        const int at = find_current_line(file_system, table, lines, record.profile_name);
        if (at >= 0) {
            lines[static_cast<std::size_t>(at)] = line_bytes;
        } else {
            lines.push_back(line_bytes);
        }
        for (const auto& each : lines) {
            stream->write_line_bytes(each);
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
        const auto lines = read_current_lines(*stream);
        const int at = find_current_line(file_system, table, lines, name);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (static_cast<int>(i) != at && !lines[i].empty()) {
                stream->write_line_bytes(lines[i]);
            }
        }
        stream->close();
    } catch (const host::host_error& failure) {
        return failed(failure);
    }
    const auto at = static_cast<std::size_t>(index);
    table.profile_lines[at].clear();
    if (at < table.line_bytes.size()) {
        table.line_bytes[at].clear();
    }
    return {};
}

}  // namespace norvane
