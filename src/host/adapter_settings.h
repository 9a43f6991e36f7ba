// Finding a network connection's IPv4 settings on a system that names its connections in one
// place and lists its adapters' settings in another: the connection's name leads to an
// adapter identifier, and that identifier to the adapter's addresses. The platform side
// gathers both lists; the matching lives here, where it can be tested anywhere.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "host/host.h"

namespace norvane::host {

// An adapter as the system lists it.
struct adapter_record {
    std::string id;  // as "{4D36E972-...}"
    bool dhcp = false;
    std::vector<ipv4_settings::address> addresses;  // "0.0.0.0" entries mean none
    std::vector<std::string> gateways;              // likewise
    std::vector<std::string> dns;
};

// A connection's name and the identifier of the adapter it belongs to.
using connection_name = std::pair<std::string, std::string>;  // name, adapter id

// The settings of the named connection: not_found when no connection has that name (compared
// as the system compares them: letters A-Z without regard to case); found with no addresses
// when its adapter is not in the list (disabled, unplugged).
ipv4_settings settings_for_connection(const std::string& name,
                                      const std::vector<connection_name>& names,
                                      const std::vector<adapter_record>& adapters);

}  // namespace norvane::host
