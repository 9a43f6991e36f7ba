// The names a line of profile.dat can hold: Save and the command line's capture check the
// profile name and the connection name with the same rules before anything is written.
#pragma once

#include <string>

#include "host/host.h"
#include "profiles/profile_store.h"

namespace norvane {

// Why a name cannot be stored in a line of profile.dat (a comma, a line break or another
// control character, a character the file's code page lacks), worded for the field named, or
// "" when it can.
std::string unstorable_name_message(const std::string& name, const char* field,
                                    host::file_system& file_system);

// Why the store left profile.dat alone for a reason of the file's own (it lies where other
// users may change it, or it is no code page 932 text), or "" for any other result.
std::string untouched_file_message(store_result::status result);

inline constexpr const char* profile_name_field = "プロファイル名";
inline constexpr const char* connection_name_field = "接続名";

}  // namespace norvane
