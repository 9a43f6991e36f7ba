// Reading a connection's IPv4 settings back from NetworkManager, with nmcli's terse output:
// the connection profile's ipv4 settings, and the IP4 section that nmcli adds while the
// connection is active on a device (its addresses, gateway and DNS servers as applied). A
// connection whose device has no carrier is read from its profile: that is what it will have
// when the link is there.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/posix/process_runner.h"

namespace norvane::host {

// The call that shows the connection's profile and, while it is active, what it has applied;
// its first word "nmcli" stands for the program the reader starts.
std::vector<std::string> connection_show_call(const std::string& connection_name);

// What the output of connection_show_call says.
struct nmcli_connection {
    bool active = false;         // in use on a device (activated or on its way)
    std::string device;          // the device it is in use on
    std::string interface_name;  // the device the profile is bound to ("" for any)
    ipv4_settings applied;       // what the device has now (no addresses while not in use)
    ipv4_settings stored;        // what the profile holds, marked not_connected
};
nmcli_connection parse_nmcli_connection(const std::string& terse_output);

// Whether a network device has carrier, as the kernel says; nothing when that is not known
// (no such device, or the device is down).
std::optional<bool> device_carrier(const std::string& device);
using carrier_probe = std::function<std::optional<bool>(const std::string& device)>;

// The dotted mask of a prefix length ("" for a length out of 0..32).
std::string mask_of_prefix(int prefix);

// nmcli: the program started for the call, by its full path (nmcli_program()).
std::unique_ptr<network_settings> create_nmcli_settings(std::unique_ptr<command_runner> runner,
                                                        carrier_probe carrier, std::string nmcli);

}  // namespace norvane::host
