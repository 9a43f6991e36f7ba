#include "profiles/profile_store.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace norvane {

namespace {

using byte_lines = std::vector<std::string>;

constexpr std::size_t no_source = static_cast<std::size_t>(-1);

std::string failure_text(const host::host_error& failure) {
    return failure.description() + "(" + std::to_string(failure.number()) + ")";
}

store_result failed(const host::host_error& failure) {
    switch (failure.number()) {
        case host::others_may_change:
            return {store_result::status::shared_place, 0, ""};
        case host::changed_meanwhile:
            return {store_result::status::failed, host::permission_denied,
                    host::describe_error(host::permission_denied)};
        default:
            return {store_result::status::failed, failure.number(), failure.description()};
    }
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

// How often a change starts over when a program that does not take the lock changed the file
// while the change held it.
constexpr int change_attempts = 4;

// A file in another encoding (UTF-16, UTF-8 with its mark) reads as lines of nonsense; written
// back it would be ruined. Its byte-order mark or a NUL byte, which no code page 932 text
// holds, tells it.
bool is_code_page_text(const byte_lines& lines) {
    if (!lines.empty()) {
        for (const char* mark : {"\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF"}) {
            if (lines.front().rfind(mark, 0) == 0) {
                return false;
            }
        }
    }
    for (const std::string& line : lines) {
        if (line.find('\0') != std::string::npos) {
            return false;
        }
    }
    return true;
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
    // The file is read and its new lines decoded first, beside the table; only then, when
    // nothing can fail any more, is the table changed in place. A line whose bytes the table
    // holds keeps the table's strings, so a reload after a command allocates and frees only
    // for the lines that changed.
    std::vector<std::size_t> source;  // for each line, the table entry it keeps, or no_source
    byte_lines new_bytes;             // the lines the table does not hold, in file order
    std::vector<std::string> new_texts;
    try {
        if (!file_system.file_exists(profile_file_name)) {
            table = profile_table{};
            return true;
        }
        auto stream = file_system.open_text_file(profile_file_name, host::for_reading);
        const std::size_t held = std::min(table.line_bytes.size(), table.profile_lines.size());
        source.reserve(held + 1);
        std::size_t match = 0;  // where the line read is looked for in the table
        while (!stream->at_end_of_stream()) {
            std::string line = stream->read_line_bytes();
            const auto same = [&](std::size_t at) {
                return at < held && table.line_bytes[at] == line;
            };
            // A line saved over or deleted shifts the rest by at most one place.
            if (same(match) || same(match + 1)) {
                match += same(match) ? 0 : 1;
                source.push_back(match++);
            } else {
                new_texts.push_back(file_system.text_of(line));
                new_bytes.push_back(std::move(line));
                source.push_back(no_source);
                ++match;
            }
        }
        stream->close();
    } catch (const host::host_error& failure) {
        error_text = failure_text(failure);
        return false;
    }
    const std::size_t lines = source.size();
    if (new_bytes.size() == lines) {  // nothing kept (as at start-up): the new lines are the table
        table.profile_lines = std::move(new_texts);
        table.line_bytes = std::move(new_bytes);
    } else {
        // Each line keeps an entry at its own place or after it (a line that keeps none moves
        // the place looked at on by one), so the entries move forward, each before it is
        // overwritten.
        table.profile_lines.reserve(lines);  // room first: a failure here changes nothing
        table.line_bytes.reserve(lines);
        table.profile_lines.resize(std::max(lines, table.profile_lines.size()));
        table.line_bytes.resize(std::max(lines, table.line_bytes.size()));
        std::size_t next_new = 0;
        for (std::size_t i = 0; i < lines; ++i) {
            if (source[i] == no_source) {
                table.profile_lines[i] = std::move(new_texts[next_new]);
                table.line_bytes[i] = std::move(new_bytes[next_new++]);
            } else if (source[i] != i) {
                table.profile_lines[i] = std::move(table.profile_lines[source[i]]);
                table.line_bytes[i] = std::move(table.line_bytes[source[i]]);
            }
        }
        table.profile_lines.resize(lines);
        table.line_bytes.resize(lines);
    }
    table.no_profiles = lines == 0;
    if (table.no_profiles) {
        table.profile_lines.emplace_back();  // an empty table holds one blank entry
    }
    return true;
}

namespace {

// Runs one change of profile.dat: the file opened for the change and locked, its lines read,
// and decide writing what the change writes (after append_on_close, what is added). Started
// over with the file read again when a program that does not take the lock changed it
// meanwhile. A file in another encoding is not changed.
template <class deciding>
store_result change_profile_file(host::file_system& file_system, bool create, deciding&& decide) {
    for (int attempt = 1;; ++attempt) {
        try {
            auto stream = file_system.open_text_file(profile_file_name, host::for_writing, create);
            byte_lines lines = read_current_lines(*stream);
            if (!is_code_page_text(lines)) {
                stream->append_on_close();
                stream->close();
                return {store_result::status::not_shift_jis, 0, ""};
            }
            const store_result result = decide(*stream, lines);
            stream->close();
            return result;
        } catch (const host::host_error& failure) {
            if (failure.number() == host::changed_meanwhile && attempt < change_attempts) {
                continue;
            }
            if (failure.number() == host::file_not_found && !create) {
                return {store_result::status::not_found, 0, ""};  // no file, so no profile
            }
            return failed(failure);
        }
    }
}

}  // namespace

store_result save_profile(host::file_system& file_system, const profile_table& table,
                          const profile_record& record, bool overwrite_agreed) {
    std::string line_bytes;
    try {
        line_bytes = file_system.bytes_of(line_from_record(record));
    } catch (const host::host_error& failure) {
        return failed(failure);
    }
    return change_profile_file(
        file_system, true, [&](host::text_stream& stream, byte_lines& lines) -> store_result {
            // The same first-match rule on the file as it is now.
            const int at = find_current_line(file_system, table, lines, record.profile_name);
            if (at < 0 || !overwrite_agreed) {
                stream.append_on_close();
                if (at >= 0) {
                    return {store_result::status::needs_consent, 0, ""};  // nothing added
                }
                stream.write_line_bytes(line_bytes);
                return {};
            }
            lines[static_cast<std::size_t>(at)] = line_bytes;
            for (const auto& each : lines) {
                stream.write_line_bytes(each);
            }
            return {};
        });
}

store_result delete_profile(host::file_system& file_system, profile_table& table,
                            const std::string& name) {
    const store_result result = change_profile_file(
        file_system, false, [&](host::text_stream& stream, byte_lines& lines) -> store_result {
            const int at = find_current_line(file_system, table, lines, name);
            if (at < 0) {
                stream.append_on_close();  // nothing added
                return {store_result::status::not_found, 0, ""};
            }
            for (std::size_t i = 0; i < lines.size(); ++i) {
                if (static_cast<int>(i) != at && !lines[i].empty()) {
                    stream.write_line_bytes(lines[i]);
                }
            }
            return {};
        });
    if (const int index = find_profile(table, name);
        index >= 0 && result.result == store_result::status::done) {
        const auto at = static_cast<std::size_t>(index);
        table.profile_lines[at].clear();
        if (at < table.line_bytes.size()) {
            table.line_bytes[at].clear();
        }
    }
    return result;
}

}  // namespace norvane
