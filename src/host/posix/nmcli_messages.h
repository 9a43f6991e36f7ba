// What nmcli's failures mean, in the program's own words.
#pragma once

#include <string>

namespace norvane::host {

// One line that says why an nmcli call for a connection failed: the common failures in the
// program's own words, anything else in nmcli's.
std::string nmcli_failure_reason(const std::string& connection, int exit_status,
                                 const std::string& errors);

}  // namespace norvane::host
