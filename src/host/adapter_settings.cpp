#include "host/adapter_settings.h"

#include <algorithm>

namespace norvane::host {
namespace {

bool same_ignoring_ascii_case(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

bool is_none(const std::string& address) {
    return address.empty() || address == "0.0.0.0";
}

ipv4_settings from_stored(const stored_configuration& stored) {
    ipv4_settings settings;
    settings.result = ipv4_settings::lookup::found;
    settings.not_connected = true;
    settings.dhcp = stored.dhcp;
    if (stored.dhcp) {
        return settings;  // the addresses come from the DHCP server
    }
    for (std::size_t i = 0; i < stored.ips.size(); ++i) {
        if (!is_none(stored.ips[i])) {
            settings.addresses.push_back(
                {stored.ips[i], i < stored.masks.size() ? stored.masks[i] : ""});
        }
    }
    for (const auto& gateway : stored.gateways) {
        if (!is_none(gateway)) {
            settings.gateway = gateway;
            break;
        }
    }
    std::string server;
    for (const char c : stored.name_servers + ",") {
        if (c == ',' || c == ' ') {
            if (!is_none(server)) {
                settings.dns.push_back(server);
            }
            server.clear();
        } else {
            server.push_back(c);
        }
    }
    return settings;
}

}  // namespace

ipv4_settings settings_for_connection(const std::string& name,
                                      const std::vector<connection_name>& names,
                                      const std::vector<adapter_record>& adapters,
                                      const stored_lookup& stored) {
    ipv4_settings settings;
    const auto named = std::find_if(names.begin(), names.end(), [&](const connection_name& n) {
        return same_ignoring_ascii_case(n.first, name);
    });
    if (named == names.end()) {
        settings.result = ipv4_settings::lookup::not_found;
        return settings;
    }
    settings.result = ipv4_settings::lookup::found;
    const auto adapter = std::find_if(
        adapters.begin(), adapters.end(),
        [&](const adapter_record& a) { return same_ignoring_ascii_case(a.id, named->second); });
    if (adapter == adapters.end() || !adapter->connected) {
        if (stored) {
            if (const auto configuration = stored(named->second)) {
                return from_stored(*configuration);
            }
        }
        if (adapter == adapters.end()) {
            return settings;
        }
    }
    settings.dhcp = adapter->dhcp;
    for (const auto& address : adapter->addresses) {
        if (!is_none(address.ip)) {
            settings.addresses.push_back(address);
        }
    }
    for (const auto& gateway : adapter->gateways) {
        if (!is_none(gateway)) {
            settings.gateway = gateway;
            break;
        }
    }
    for (const auto& server : adapter->dns) {
        if (!is_none(server)) {
            settings.dns.push_back(server);
        }
    }
    return settings;
}

}  // namespace norvane::host
