#include "host/posix/network_settings_posix.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace norvane::host {
namespace {

// An address the bus carries as a number in network byte order.
std::string dotted_of_network_order(std::int64_t number) {
    const auto value = static_cast<std::uint32_t>(number);
    unsigned char bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    std::string text;
    for (int i = 0; i < 4; ++i) {
        text += std::to_string(bytes[i]);
        if (i < 3) {
            text += '.';
        }
    }
    return text;
}

std::string text_at(const bus_value* dictionary, std::string_view key) {
    const bus_value* value = dictionary != nullptr ? dictionary->at(key) : nullptr;
    return value != nullptr ? value->text : std::string();
}

// Address data: a list of dictionaries with "address" and "prefix".
std::vector<ipv4_settings::address> addresses_of(const bus_value* data) {
    std::vector<ipv4_settings::address> addresses;
    if (data == nullptr) {
        return addresses;
    }
    for (const bus_value& item : data->items) {
        const bus_value* prefix = item.at("prefix");
        addresses.push_back(
            {text_at(&item, "address"), mask_of_prefix(prefix != nullptr && prefix->number <= 32
                                                           ? static_cast<int>(prefix->number)
                                                           : -1)});
    }
    return addresses;
}

// DNS servers: texts (a profile's "dns-data"), dictionaries with "address" (a device's
// "NameserverData"), or else numbers in network byte order (the older "dns", "Nameservers").
std::vector<std::string> servers_of(const bus_value* texts, const bus_value* numbers) {
    std::vector<std::string> servers;
    if (texts != nullptr) {
        for (const bus_value& item : texts->items) {
            servers.push_back(item.entries.empty() ? item.text : text_at(&item, "address"));
        }
        return servers;
    }
    if (numbers != nullptr) {
        for (const bus_value& item : numbers->items) {
            servers.push_back(dotted_of_network_order(item.number));
        }
    }
    return servers;
}

bool default_route(const bus_value& route) {
    const bus_value* prefix = route.at("prefix");
    return text_at(&route, "dest") == "0.0.0.0" && prefix != nullptr && prefix->number == 0;
}

class nm_settings : public network_settings {
  public:
    nm_settings(nm_finder find, carrier_probe carrier)
        : find_(std::move(find)), carrier_(std::move(carrier)) {}

    ipv4_settings read_ipv4(const std::string& connection_name) override {
        const nm_lookup lookup = find_(connection_name);
        ipv4_settings settings;
        switch (lookup.outcome) {
            case nm_lookup::result::found:
                break;
            case nm_lookup::result::not_found:
                settings.result = ipv4_settings::lookup::not_found;
                return settings;
            case nm_lookup::result::failed:
                settings.reason = lookup.reason;
                return settings;
        }
        // Without carrier, what the profile holds is what the connection will have once the
        // link is there (NetworkManager may even have put a static address on the device).
        const nm_connection connection = interpret_nm_connection(lookup.connection);
        const std::string& device =
            connection.device.empty() ? connection.interface_name : connection.device;
        if (!device.empty() && carrier_(device) == false) {
            return connection.stored;
        }
        return connection.applied;
    }

  private:
    nm_finder find_;
    carrier_probe carrier_;
};

}  // namespace

nm_connection interpret_nm_connection(const nm_connection_objects& objects) {
    nm_connection c;
    c.active = objects.active;
    c.device = objects.device;
    c.applied.result = ipv4_settings::lookup::found;
    c.stored.result = ipv4_settings::lookup::found;
    c.stored.not_connected = true;

    const bus_value* connection = objects.settings.at("connection");
    const bus_value* ipv4 = objects.settings.at("ipv4");
    c.interface_name = text_at(connection, "interface-name");
    c.applied.dhcp = c.stored.dhcp = text_at(ipv4, "method") == "auto";
    if (ipv4 != nullptr) {
        c.stored.addresses = addresses_of(ipv4->at("address-data"));
        c.stored.gateway = text_at(ipv4, "gateway");
        c.stored.dns = servers_of(ipv4->at("dns-data"), ipv4->at("dns"));
        // The program keeps a gateway as the default route entry "0.0.0.0/0 GW METRIC"; a
        // gateway of the profile's own comes first.
        if (const bus_value* routes = ipv4->at("route-data")) {
            for (const bus_value& route : routes->items) {
                if (!default_route(route)) {
                    c.other_routes = true;
                } else if (c.stored.gateway.empty()) {
                    c.stored.gateway = text_at(&route, "next-hop");
                }
            }
        }
    }
    const bus_value& ip4 = objects.ip4;
    c.applied.addresses = addresses_of(ip4.at("AddressData"));
    c.applied.gateway = text_at(&ip4, "Gateway");
    c.applied.dns = servers_of(ip4.at("NameserverData"), ip4.at("Nameservers"));
    return c;
}

std::optional<bool> nm_other_routes(const nm_finder& find, const std::string& connection_id) {
    const nm_lookup lookup = find(connection_id);
    if (lookup.outcome != nm_lookup::result::found || lookup.matches != 1) {
        return std::nullopt;
    }
    return interpret_nm_connection(lookup.connection).other_routes;
}

std::optional<bool> device_carrier(const std::string& device) {
    if (device.empty() || device.find('/') != std::string::npos || device == "." ||
        device == "..") {
        return std::nullopt;
    }
    // "1" or "0"; reading fails while the device is down or when there is no such device.
    std::ifstream file("/sys/class/net/" + device + "/carrier");
    char value = 0;
    if (!(file >> value) || (value != '0' && value != '1')) {
        return std::nullopt;
    }
    return value == '1';
}

std::string mask_of_prefix(int prefix) {
    if (prefix < 0 || prefix > 32) {
        return "";
    }
    const std::uint32_t mask = prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - prefix);
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += std::to_string((mask >> shift) & 0xFF);
        if (shift > 0) {
            text += '.';
        }
    }
    return text;
}

std::unique_ptr<network_settings> create_nm_settings(nm_finder find, carrier_probe carrier) {
    return std::make_unique<nm_settings>(std::move(find), std::move(carrier));
}

std::unique_ptr<network_settings> create_network_settings() {
    return create_nm_settings(find_nm_connection, device_carrier);
}

}  // namespace norvane::host
