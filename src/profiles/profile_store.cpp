#include "profiles/profile_store.h"

#include <vector>

namespace norvane {

namespace {

std::string failure_text(const host::host_error& failure) {
    return failure.description() + "(" + std::to_string(failure.number()) + ")";
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
    while (!stream.AtEndOfStream()) {
        lines.push_back(stream.ReadLine());
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
        if (!file_system.FileExists(profile_file_name)) {
            return true;
        }
        auto stream = file_system.OpenTextFile(profile_file_name, host::for_reading);
        std::size_t i = 0;
        while (!stream->AtEndOfStream()) {
            std::string line = stream->ReadLine();
            table.profile_lines.resize(i + 1);
            table.profile_lines[i] = std::move(line);
            ++i;
        }
        stream->Close();
        if (i > 0) {
            table.no_profiles = false;
        }
        return true;
    } catch (const host::host_error& failure) {
        error_text = failure_text(failure);
        return false;
    }
}

save_result save_profile(host::file_system& file_system, const profile_table& table,
                         ui_services& ui, const profile_record& record) {
    const std::string line = line_from_record(record);
    try {
        if (find_profile(table, record.profile_name) < 0) {
            auto stream = file_system.OpenTextFile(profile_file_name, host::for_appending, true);
            stream->WriteLine(line);
            stream->Close();
            return save_result::saved;
        }
        if (ui.message_box("プロファイル名が重複しています。上書きしますか？",
                           mb_question | mb_ok_cancel, inquiry_title) != answer_ok) {
            return save_result::cancelled;
        }
        auto stream = file_system.OpenTextFile(profile_file_name, host::for_writing, false);
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
            stream->WriteLine(each);
        }
        stream->Close();
        return save_result::saved;
    } catch (const host::host_error&) {
        return save_result::failed;
    }
}

bool delete_profile(host::file_system& file_system, profile_table& table, ui_services& ui,
                    const std::string& name) {
    const int index = find_profile(table, name);
    if (index < 0) {
        ui.message_box("このプロファイルはデータベースに存在しません。", mb_critical, error_title);
        return false;
    }
    try {
        auto stream = file_system.OpenTextFile(profile_file_name, host::for_writing, false);
        auto lines = read_current_lines(*stream);
        const int at = find_line(lines, name);
        for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
            const auto& each = lines[static_cast<std::size_t>(i)];
            if (i != at && !each.empty()) {
                stream->WriteLine(each);
            }
        }
        stream->Close();
    } catch (const host::host_error& failure) {
        ui.message_box(failure.description(), mb_critical, numbered_error_title(failure.number()));
        return false;
    }
    table.profile_lines[static_cast<std::size_t>(index)].clear();
    return true;
}

}  // namespace norvane
