// How each netsh command is carried out by NetworkManager: the connection profile's properties
// it sets, and the argument arrays of the nmcli calls, always on the profile named by "id NAME".
//
// What NetworkManager needs to end up where netsh leaves a Windows connection:
// - ipv4.method manual goes in the same call as the address, which takes a prefix length;
// - the gateway is a default route entry "0.0.0.0/0 GW METRIC" in ipv4.routes with
//   ipv4.gateway empty: netsh's metric belongs to the default route alone, while
//   ipv4.route-metric would move the subnet route too. The connection's other routes stay;
// - going to DHCP clears the addresses, the gateway and the default route entries, or the old
//   static address would stay beside the lease;
// - static DNS servers replace the ones from DHCP (ipv4.ignore-auto-dns yes), DHCP DNS clears
//   the list and takes the servers from DHCP again;
// - modify only saves the profile: the change takes effect when the connection comes up.
//
// nmcli applies a modify call's properties in their order, so the commands of a script for one
// connection become one call: a property set again keeps its last value, and a DNS server added
// behind a list set before it joins that list.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "host/posix/cmd/netsh_command.h"

namespace norvane::cmd {

using argument_list = std::vector<std::string>;

// Properties and their values in nmcli's syntax; a name that starts with "+" adds to the list
// it names.
using property_list = std::vector<std::pair<std::string, std::string>>;

// True when the command's properties depend on the connection's current routes.
bool needs_current_routes(const netsh_command& command);

// The call that prints the connection's ipv4.routes (for command_properties).
argument_list routes_query_call(const std::string& connection);

// The properties the command saves in the connection profile. current_routes is the output of
// routes_query_call for commands that need it.
property_list command_properties(const netsh_command& command,
                                 const std::string& current_routes = {});

// Adds the properties of a later command to those gathered for the same connection, so that
// one modify call has the effect of both in turn.
void gather_properties(property_list& gathered, const property_list& later);

// The call that saves the properties in the connection profile.
argument_list modify_call(const std::string& connection, const property_list& properties);

// The call that brings the connection up with its saved settings.
argument_list up_call(const std::string& connection);

// The entries of an ipv4.routes value as nmcli prints it ("A, B"), without the default
// route entries (destination 0.0.0.0/0), joined again.
std::string routes_without_default(const std::string& routes);

}  // namespace norvane::cmd
