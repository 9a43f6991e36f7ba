// Reading a connection's IPv4 settings back from NetworkManager, with nmcli's terse output:
// the profile's ipv4.method, and the IP4 section that nmcli adds while the connection is
// active on a device (its addresses, gateway and DNS servers as applied).
#pragma once

#include <memory>
#include <string>

#include "host/host.h"
#include "host/posix/process_runner.h"

namespace norvane::host {

// The settings in the output of "nmcli --terse --fields ipv4.method,IP4 connection show".
ipv4_settings parse_nmcli_ipv4(const std::string& terse_output);

// The dotted mask of a prefix length ("" for a length out of 0..32).
std::string mask_of_prefix(int prefix);

std::unique_ptr<network_settings> create_nmcli_settings(std::unique_ptr<command_runner> runner);

}  // namespace norvane::host
