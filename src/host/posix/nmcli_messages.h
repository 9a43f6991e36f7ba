// What nmcli's failures mean, in the program's own words.
#pragma once

#include <string>
#include <vector>

namespace norvane::host {

// nmcli's exit statuses (they are the same in every language).
inline constexpr int nmcli_timeout = 3;
inline constexpr int nmcli_activation_failed = 4;
inline constexpr int nmcli_not_running = 8;
inline constexpr int nmcli_not_found = 10;

// Where nmcli is looked for, in this order: it is started by its full path, never found
// through PATH (an empty element there stands for the current folder, anyone's to fill).
inline const std::vector<std::string> nmcli_places = {"/usr/bin/nmcli", "/bin/nmcli"};

// The first of the places that holds a program this process may run; the first place when
// none does (starting it then fails, and says so).
std::string nmcli_program(const std::vector<std::string>& places = nmcli_places);

// The environment under which nmcli writes its messages untranslated (LANGUAGE would win over
// LC_ALL): the program decides by exit status, and reads a message only where the status does
// not tell (a refused permission is status 1 as any other failure).
inline std::vector<std::string> nmcli_untranslated_environment() {
    return {"LC_ALL=C.UTF-8", "LANGUAGE="};
}

// One line that says why an nmcli call for a connection failed, in the program's own words
// chosen by the exit status; nmcli's first line follows in parentheses where it adds to them.
// errors is what nmcli wrote to stderr, untranslated.
std::string nmcli_failure_reason(const std::string& connection, int exit_status,
                                 const std::string& errors);

}  // namespace norvane::host
