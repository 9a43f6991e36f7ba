// Reading a connection's IPv4 settings back from NetworkManager over the system bus: the
// connection profile's ipv4 settings, and while the connection is active on a device, the
// device's IPv4 configuration (its addresses, gateway and DNS servers as applied). A
// connection whose device has no carrier is read from its profile: that is what it will have
// when the link is there.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/posix/nm_bus.h"

namespace norvane::host {

// What NetworkManager's objects say of a connection.
struct nm_connection {
    bool active = false;         // in use on a device (activated or on its way)
    std::string device;          // the device it is in use on
    std::string interface_name;  // the device the profile is bound to ("" for any)
    ipv4_settings applied;       // what the device has now (no addresses while not in use)
    ipv4_settings stored;        // what the profile holds, marked not_connected
    bool other_routes = false;   // the profile holds routes besides default routes
};
nm_connection interpret_nm_connection(const nm_connection_objects& objects);

// How a connection is looked up: find_nm_connection, or a stand-in.
using nm_finder = std::function<nm_lookup(const std::string& connection_id)>;

// Whether the one connection profile of that name holds routes besides default routes;
// nothing when that is not known (no such profile, several of that name, no answer).
std::optional<bool> nm_other_routes(const nm_finder& find, const std::string& connection_id);

// Whether a network device has carrier, as the kernel says; nothing when that is not known
// (no such device, or the device is down).
std::optional<bool> device_carrier(const std::string& device);
using carrier_probe = std::function<std::optional<bool>(const std::string& device)>;

// The dotted mask of a prefix length ("" for a length out of 0..32).
std::string mask_of_prefix(int prefix);

std::unique_ptr<network_settings> create_nm_settings(nm_finder find, carrier_probe carrier);

}  // namespace norvane::host
