#include "profiles/profile_store.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "host/large_buffer.h"

namespace norvane {

namespace {

using line_span = line_list::span;

constexpr std::size_t no_source = static_cast<std::size_t>(-1);

// Where each line of a block of bytes lies, cut as the file component's read_line_bytes cuts
// them: a line ends at CR LF, LF or CR, and a block that ends with a line end has no empty
// line after it.
std::vector<line_span> split_lines(std::string_view block) {
    std::vector<line_span> spans;
    spans.reserve(block.size() / 64 + 1);
    const char* const data = block.data();
    const std::size_t size = block.size();
    std::size_t next_lf = 0;  // the first LF at or after the line looked at, or size
    bool lf_known = false;
    std::size_t pos = 0;
    while (pos < size) {
        if (!lf_known || next_lf < pos) {
            const void* lf = std::memchr(data + pos, '\n', size - pos);
            next_lf = lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - data)
                                    : size;
            lf_known = true;
        }
        const void* cr = std::memchr(data + pos, '\r', next_lf - pos);
        const std::size_t end =
            cr != nullptr ? static_cast<std::size_t>(static_cast<const char*>(cr) - data) : next_lf;
        spans.push_back({pos, end - pos});
        if (end == size) {
            break;
        }
        pos = end + (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n' ? 2 : 1);
    }
    return spans;
}

// The file as a change read it under its lock: its bytes, and where its lines lie.
struct file_lines {
    std::string bytes;
    std::vector<line_span> spans;

    std::size_t size() const { return spans.size(); }
    std::string_view operator[](std::size_t i) const {
        return std::string_view(bytes).substr(spans[i].begin, spans[i].length);
    }
};

file_lines read_file_lines(host::text_stream& stream) {
    file_lines lines;
    lines.bytes = stream.read_rest_bytes();
    lines.spans = split_lines(lines.bytes);
    return lines;
}

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
bool has_name(std::string_view line, std::string_view name) {
    return line.size() >= name.size() && (line.size() == name.size() || line[name.size()] == ',') &&
           line.compare(0, name.size(), name) == 0;
}

// The first non-blank line of that name, or -1. Blank lines have no name and are passed over.
int find_line(const line_list& lines, std::string_view name) {
    if (name.find(',') != std::string_view::npos) {
        return -1;  // no line's name holds one
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (!line.empty() && has_name(line, name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// How often a change starts over when a program that does not take the lock changed the file
// while the change held it.
constexpr int change_attempts = 4;

// A file in another encoding (UTF-16, UTF-8 with its mark) reads as lines of nonsense; written
// back it would be ruined. Its byte-order mark at the start or a NUL byte, which no code page
// 932 text holds, tells it.
bool starts_with_byte_order_mark(std::string_view bytes) {
    return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") ||
           bytes.starts_with("\xEF\xBB\xBF");
}

bool is_code_page_text(std::string_view bytes) {
    return !starts_with_byte_order_mark(bytes) && bytes.find('\0') == std::string_view::npos;
}

// The same for a file of these lines.
bool is_code_page_text(const line_list& lines) {
    return (lines.empty() || !starts_with_byte_order_mark(lines[0])) &&
           std::none_of(lines.begin(), lines.end(), [](std::string_view line) {
               return line.find('\0') != std::string_view::npos;
           });
}

// Whether the table holds exactly these lines, as the last load read them.
bool mirrors(const profile_table& table, const file_lines& lines) {
    if (table.line_bytes.size() != lines.size() || table.profile_lines.size() != lines.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (table.line_bytes[i] != lines[i]) {
            return false;
        }
    }
    return true;
}

// The first line of that name in the file as it stands. When the file holds what the last
// load read, the table's texts answer; otherwise each line's name is decoded. A name ends at
// the first "," byte, which no two-byte character of the code page contains.
int find_current_line(host::file_system& file_system, const profile_table& table,
                      const file_lines& lines, const std::string& name) {
    if (lines.size() != 0 && mirrors(table, lines)) {
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
    // holds keeps the table's text, so a reload after a command decodes only the lines that
    // changed, and the file's bytes as read become the table's.
    file_lines file;
    std::vector<std::size_t> source;  // for each line, the table entry it keeps, or no_source
    line_list new_texts;              // the texts of the lines the table does not hold
    try {
        if (!file_system.file_exists(profile_file_name)) {
            table = profile_table{};
            return true;
        }
        auto stream = file_system.open_text_file(profile_file_name, host::for_reading);
        file = read_file_lines(*stream);
        stream->close();
        const std::size_t held = std::min(table.line_bytes.size(), table.profile_lines.size());
        if (held == 0) {
            // Every line is new (as at start-up): room for their texts at once, so that the
            // buffer is not copied as it grows. Japanese text takes half as many bytes again in
            // UTF-8; room not written to takes no memory.
            new_texts.reserve(file.size(), file.bytes.size() * 2);
            for (std::size_t i = 0; i < file.size(); ++i) {
                new_texts.push_back(file_system.text_of(std::string(file[i])));
            }
        } else {
            source.reserve(file.size());
            std::size_t match = 0;  // where the line read is looked for in the table
            for (std::size_t i = 0; i < file.size(); ++i) {
                const std::string_view line = file[i];
                const auto same = [&](std::size_t at) {
                    return at < held && table.line_bytes[at] == line;
                };
                // A line saved over or deleted shifts the rest by at most one place.
                if (same(match) || same(match + 1)) {
                    match += same(match) ? 0 : 1;
                    source.push_back(match++);
                } else {
                    new_texts.push_back(file_system.text_of(std::string(line)));
                    source.push_back(no_source);
                    ++match;
                }
            }
        }
    } catch (const host::host_error& failure) {
        error_text = failure_text(failure);
        return false;
    }
    const std::size_t lines = file.size();
    if (new_texts.size() == lines) {  // nothing kept (as at start-up): the new lines are the table
        table.profile_lines = std::move(new_texts);
    } else {
        // Each line keeps an entry at its own place or after it (a line that keeps none moves
        // the place looked at on by one), so the entries move forward, each before it is
        // overwritten. Room first: a failure here changes nothing.
        line_list& texts = table.profile_lines;
        std::size_t new_bytes = 0;
        for (const std::string_view text : new_texts) {
            new_bytes += text.size();
        }
        texts.reserve(lines > texts.size() ? lines - texts.size() : 0, new_bytes);
        texts.resize(std::max(lines, texts.size()));
        std::size_t next_new = 0;
        for (std::size_t i = 0; i < lines; ++i) {
            if (source[i] == no_source) {
                texts.set(i, new_texts[next_new++]);
            } else if (source[i] != i) {
                texts.copy_line(source[i], i);
            }
        }
        texts.resize(lines);
        texts.compact();
    }
    table.line_bytes = line_list::from_buffer(std::move(file.bytes), std::move(file.spans));
    table.no_profiles = lines == 0;
    if (table.no_profiles) {
        table.profile_lines.push_back({});  // an empty table holds one blank entry
    }
    return true;
}

namespace {

// Whether the table holds a line's bytes for each of its lines, as a load leaves it.
bool holds_all_bytes(const profile_table& table) {
    return table.no_profiles ? table.line_bytes.empty()
                             : table.line_bytes.size() == table.profile_lines.size();
}

// Runs one change of profile.dat: the file opened for the change and locked, and decide
// writing what the change writes (after append_on_close, what is added). When the file holds
// the table's lines, as the program writes them (compared a piece at a time),
// decide_from_table decides from the table and the file is not read into memory; after the
// close it changes the table as the file was changed. Otherwise the file's lines are read and
// decide decides from them. Started over with the file read again when a program that does
// not take the lock changed it meanwhile. A file in another encoding is not changed.
template <class deciding, class deciding_from_table>
store_result change_profile_file(host::file_system& file_system, profile_table& table, bool create,
                                 deciding&& decide, deciding_from_table&& decide_from_table) {
    for (int attempt = 1;; ++attempt) {
        try {
            auto stream = file_system.open_text_file(profile_file_name, host::for_writing, create);
            if (attempt == 1 && holds_all_bytes(table) && is_code_page_text(table.line_bytes) &&
                stream->holds_lines(table.line_bytes.size(),
                                    [&](std::size_t i) { return table.line_bytes[i]; })) {
                std::function<void()> change_table;
                store_result result = decide_from_table(*stream, change_table);
                stream->close();
                if (change_table) {
                    change_table();
                    result.table_current = true;
                }
                return result;
            }
            file_lines lines = read_file_lines(*stream);
            if (!is_code_page_text(lines.bytes)) {
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

// Whether every line of the file ends in CR LF, as a rewrite writes them, and, when blank
// lines are to go, none is blank.
bool written_as_is(const file_lines& lines, bool keep_blank) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const line_span& line = lines.spans[i];
        const std::size_t end = line.begin + line.length;
        const std::size_t next =
            i + 1 < lines.size() ? lines.spans[i + 1].begin : lines.bytes.size();
        if (next != end + 2 || lines.bytes.compare(end, 2, "\r\n") != 0 ||
            (!keep_blank && line.length == 0)) {
            return false;
        }
    }
    return true;
}

// The lines of the file, each followed by CR LF, but for the line at skip and, when asked,
// blank lines; the line at replace (when it is one) gives way to with. One block, written
// at once: the file's own bytes changed in place when its lines end in CR LF already (as the
// program writes them), a block of its own otherwise. The lines are used up.
std::string rewritten_lines(file_lines& lines, std::size_t skip, std::size_t replace,
                            std::string_view with, bool keep_blank) {
    if (written_as_is(lines, keep_blank)) {
        std::string block = std::move(lines.bytes);
        if (skip < lines.size()) {
            block.erase(lines.spans[skip].begin, lines.spans[skip].length + 2);
        }
        if (replace < lines.size()) {
            block.replace(lines.spans[replace].begin, lines.spans[replace].length, with);
        }
        return block;
    }
    std::string block;
    host::reserve_large(block, lines.bytes.size() + 2 * lines.size() + with.size() + 2);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = i == replace ? with : lines[i];
        if (i != skip && (keep_blank || !line.empty())) {
            block += line;
            block += "\r\n";
        }
    }
    return block;
}

}  // namespace

store_result save_profile(host::file_system& file_system, profile_table& table,
                          const profile_record& record, bool overwrite_agreed) {
    std::string line_bytes;
    std::string line_text;  // the line as a load reads it back
    try {
        line_bytes = file_system.bytes_of(line_from_record(record));
        line_text = file_system.text_of(line_bytes);
    } catch (const host::host_error& failure) {
        return failed(failure);
    }
    const auto from_table = [&](host::text_stream& stream,
                                std::function<void()>& change_table) -> store_result {
        const int at = find_profile(table, record.profile_name);
        if (at < 0 || !overwrite_agreed) {
            stream.append_on_close();
            if (at >= 0) {
                return {store_result::status::needs_consent, 0, "", false};  // nothing added
            }
            stream.write_line_bytes(line_bytes);
            change_table = [&table, &line_bytes, &line_text] {
                if (table.no_profiles) {
                    table.profile_lines.clear();
                    table.no_profiles = false;
                }
                table.line_bytes.push_back(line_bytes);
                table.profile_lines.push_back(line_text);
            };
            return {};
        }
        if (line_bytes.find_first_of("\r\n") != std::string::npos) {
            throw host::host_error(host::path_file_access_error);  // more than one line
        }
        const auto replaced = static_cast<std::size_t>(at);
        // The lines are read at the close, after this returns.
        stream.write_lines_bytes(
            table.line_bytes.size(), [&table, &line_bytes, replaced](std::size_t i) {
                return i == replaced ? std::string_view(line_bytes) : table.line_bytes[i];
            });
        change_table = [&table, &line_bytes, &line_text, replaced] {
            table.line_bytes.set(replaced, line_bytes);
            table.profile_lines.set(replaced, line_text);
            table.line_bytes.compact();  // the replaced line's old bytes, when they add up
            table.profile_lines.compact();
        };
        return {};
    };
    return change_profile_file(
        file_system, table, true,
        [&](host::text_stream& stream, file_lines& lines) -> store_result {
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
            if (line_bytes.find_first_of("\r\n") != std::string::npos) {
                throw host::host_error(host::path_file_access_error);  // more than one line
            }
            stream.write_lines_bytes(
                rewritten_lines(lines, no_source, static_cast<std::size_t>(at), line_bytes, true));
            return {};
        },
        from_table);
}

store_result delete_profile(host::file_system& file_system, profile_table& table,
                            const std::string& name) {
    // The lines written back: all but the one deleted and blank ones. Without blank lines,
    // as a rule, each line's place follows from the deleted one's.
    std::vector<std::size_t> kept;
    const auto from_table = [&](host::text_stream& stream,
                                std::function<void()>& change_table) -> store_result {
        const int at = find_profile(table, name);
        if (at < 0) {
            stream.append_on_close();  // nothing added
            return {store_result::status::not_found, 0, "", false};
        }
        const auto deleted = static_cast<std::size_t>(at);
        const line_list& bytes = table.line_bytes;
        // Kept for the change of the table after the close: it reads only the table's lines,
        // and each line's bytes before their place is reused.
        const auto dropped = [&bytes = table.line_bytes, deleted](std::size_t i) {
            return i == deleted || bytes[i].empty();
        };
        const bool blank_lines = std::any_of(bytes.begin(), bytes.end(),
                                             [](std::string_view line) { return line.empty(); });
        if (blank_lines) {
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                if (!dropped(i)) {
                    kept.push_back(i);
                }
            }
            stream.write_lines_bytes(kept.size(), [&bytes = table.line_bytes, &kept](
                                                      std::size_t i) { return bytes[kept[i]]; });
        } else {
            stream.write_lines_bytes(bytes.size() - 1,
                                     [&bytes = table.line_bytes, deleted](std::size_t i) {
                                         return bytes[i < deleted ? i : i + 1];
                                     });
        }
        change_table = [&table, dropped] {
            table.profile_lines.remove_lines(dropped);
            table.line_bytes.remove_lines(dropped);
            table.line_bytes.compact();
            table.profile_lines.compact();
            if (table.line_bytes.empty()) {
                table = profile_table{};  // an empty table holds one blank entry
            }
        };
        return {};
    };
    const store_result result = change_profile_file(
        file_system, table, false,
        [&](host::text_stream& stream, file_lines& lines) -> store_result {
            const int at = find_current_line(file_system, table, lines, name);
            if (at < 0) {
                stream.append_on_close();  // nothing added
                return {store_result::status::not_found, 0, ""};
            }
            stream.write_lines_bytes(
                rewritten_lines(lines, static_cast<std::size_t>(at), no_source, {}, false));
            return {};
        },
        from_table);
    if (result.table_current) {
        return result;
    }
    if (const int index = find_profile(table, name);
        index >= 0 && result.result == store_result::status::done) {
        const auto at = static_cast<std::size_t>(index);
        table.profile_lines.set(at, {});
        if (at < table.line_bytes.size()) {
            table.line_bytes.set(at, {});
        }
    }
    return result;
}

}  // namespace norvane
