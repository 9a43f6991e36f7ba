// Applying a profile to the network: the command script, written, run and deleted.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "common/ui_services.h"
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

// What one run came to. ran is false after any failure, once its message box has been shown;
// when it is true, the script ran to its end with that exit status (and the reason text the
// platform gave, if any).
struct network_run {
    bool ran = false;
    int exit_status = 0;
    std::string reason;
};

// Writes the script, has the shell run it hidden, waits for its end and deletes it.
network_run run_network_script(const profile_record& record, host::window_handle owner_window,
                               host::file_system& file_system, host::shell& shell, ui_services& ui);

}  // namespace norvane
