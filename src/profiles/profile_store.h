// Loading profile.dat into the profile table, and changing the file. The store asks no
// question and shows no message: it says what happened, and the window decides what the user
// is told.
#pragma once

#include <string>

#include "host/host.h"
#include "profiles/profile_record.h"

namespace norvane {

// Rebuilds the table from profile.dat. True when the file was read, missing or empty; false
// when a failure stopped the load, with error_text set to "description(number)" and the table
// left as it was. A line whose bytes are those the table already holds at that place (or the
// next) keeps its text.
bool load_profiles(host::file_system& file_system, profile_table& table, std::string& error_text);

// What a change of the file came to.
struct store_result {
    enum class status {
        done,           // saved (appended or written over), or deleted
        needs_consent,  // a profile of that name exists; nothing written without consent
        not_found,      // no profile of that name to delete; nothing written
        shared_place,   // profile.dat lies where other users may change it (a symbolic link, a
                        // file of several names or no plain file, in a folder open to them)
        not_shift_jis,  // profile.dat is no code page 932 text (a byte-order mark, a NUL byte)
        failed,         // a file operation failed: error_number and error_description
    };
    status result = status::done;
    int error_number = 0;
    std::string error_description;
    // The table holds the file as the change left it: no load is needed to show it.
    bool table_current = false;
};

// Appends the record, or writes it over the first line of the same name when
// overwrite_agreed is true (needs_consent when it is not). Whether the name exists is decided
// from the file as it stands, read under the lock the change holds, never from the table
// alone (a failed reload may have left it behind the file): lines that another copy of the
// program added or removed since the last load count, and are kept; every line but the one
// saved is written back byte for byte, even one that does not decode. When the file is still
// what the table's last load read (its stamp, under the lock), the table answers and nothing is
// read; the table then takes the change as well (table_current). Otherwise the table only
// spares decoding when it still mirrors the file.
store_result save_profile(host::file_system& file_system, profile_table& table,
                          const profile_record& record, bool overwrite_agreed);

// Removes the first line of that name in the file as it stands (not_found when the file has
// none), and blank lines with it. The table loses the line and the blank lines too when it
// answered for the file (table_current); otherwise its entry is emptied.
store_result delete_profile(host::file_system& file_system, profile_table& table,
                            const std::string& name);

// The index of the first non-blank table entry with that name, or -1.
int find_profile(const profile_table& table, const std::string& name);

}  // namespace norvane
