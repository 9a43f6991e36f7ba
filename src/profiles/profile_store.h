// Loading profile.dat into the profile table, and changing the file.
#pragma once

#include <string>

#include "host/host.h"
#include "profiles/profile_record.h"
#include "ui/main_window/ui_services.h"

namespace norvane {

// Rebuilds the table from profile.dat. True when the file was read, missing or empty; false
// when a failure stopped the load, with error_text set to "description(number)".
bool load_profiles(host::file_system& file_system, profile_table& table, std::string& error_text);

enum class save_result {
    saved,      // appended, or written over the line of the same name
    cancelled,  // the user declined to overwrite; the file is unchanged
    failed,     // a file operation failed; no message has been shown
};

// Appends the record, or writes it over the first line of the same name after the user has
// agreed. The rewrite applies the change to the file as it stands at that moment, so lines
// that another copy of the program added since the last load are kept.
save_result save_profile(host::file_system& file_system, const profile_table& table,
                         ui_services& ui, const profile_record& record);

// Removes the first line of that name. False, after its own message, when there is no such
// profile or a file operation failed.
bool delete_profile(host::file_system& file_system, profile_table& table, ui_services& ui,
                    const std::string& name);

// The index of the first non-blank table entry with that name, or -1.
int find_profile(const profile_table& table, const std::string& name);

}  // namespace norvane
