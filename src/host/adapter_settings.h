// Finding a network connection's IPv4 settings on a system that names its connections in one
// place and lists its adapters' settings in another: the connection's name leads to an
// adapter identifier, and that identifier to the adapter's addresses. An adapter without a
// link (cable out, no wireless network joined) lists no address; what it will have once it
// has a link is the configuration the system stores for it. The platform side gathers the
// lists; the matching lives here, where it can be tested anywhere.
#pragma once

#include <functional>
#include <optional>
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
    bool connected = true;  // it has a link
};

// The configuration the system stores for an adapter, as its settings store keeps it.
struct stored_configuration {
    bool dhcp = false;
    std::vector<std::string> ips;       // "0.0.0.0" entries mean none
    std::vector<std::string> masks;     // one for each address
    std::vector<std::string> gateways;  // likewise
    std::string name_servers;           // separated by commas or blanks
};

// A connection's name and the identifier of the adapter it belongs to.
using connection_name = std::pair<std::string, std::string>;  // name, adapter id

// The stored configuration of an adapter, by its identifier; nothing when there is none.
using stored_lookup = std::function<std::optional<stored_configuration>(const std::string& id)>;

// The settings of the named connection: not_found when no connection has that name (compared
// as the system compares them: letters A-Z without regard to case). When its adapter has no
// link or is not in the list (disabled, unplugged), its stored configuration marked
// not_connected, or found with no addresses when nothing is stored.
ipv4_settings settings_for_connection(const std::string& name,
                                      const std::vector<connection_name>& names,
                                      const std::vector<adapter_record>& adapters,
                                      const stored_lookup& stored = {});

}  // namespace norvane::host
