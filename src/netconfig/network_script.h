// Applying a profile to the network: the command script, made, run and removed.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "host/host.h"
#include "profiles/profile_record.h"

namespace norvane {

inline constexpr const char* script_file_name = "cmd_tmp.cmd";

// Reads dhcp_flag as a number: blanks around it, an optional sign, digits with an optional
// decimal point; true for any value but zero. Anything else, the empty text included, throws
// host_error(13).
bool dhcp_flag_selects_dhcp(const std::string& flag);

// The five script slots for a record; an empty slot gives no line. Throws host_error(13)
// when dhcp_flag is not a number.
std::array<std::string, 5> build_script_lines(const profile_record& record);

// Why a record cannot safely become a script (a connection name that would break out of its
// quotes or that the script file cannot hold, an address field that is not digits and dots):
// the message to show, or nothing when it can. Throws host_error(13) as build_script_lines
// does.
std::optional<std::string> unsafe_record_message(const profile_record& record,
                                                 host::file_system& file_system);

// What one run came to. Nothing is shown here: the caller tells the user.
struct network_run {
    enum class status {
        finished,     // the script ran to its end: exit_status, and the platform's reason if any
        refused,      // the record cannot safely become a script: reason says why; nothing written
        not_started,  // the shell could not start the script
        wait_failed,  // the wait for the script's end failed
        failed,       // a file operation failed: error_number, and its description in reason
        name_taken,   // the script could not be made anew: a leftover of its name could not be
                      // removed, or the name was taken again before the script was made;
                      // nothing ran
    };
    status result = status::finished;
    int exit_status = 0;
    std::string reason{};
    int error_number = 0;
};

// Makes the script anew and holds it, has the shell run that very file hidden, waits for its
// end and removes it (unless its name leads to another file by then).
network_run run_network_script(const profile_record& record, host::window_handle owner_window,
                               host::file_system& file_system, host::shell& shell);

}  // namespace norvane
