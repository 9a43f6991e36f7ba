// The nmcli calls for the netsh commands.
#include "host/posix/cmd/nmcli_calls.h"

#include <algorithm>
#include <cstddef>

namespace norvane::cmd {
namespace {

std::string trim(const std::string& text) {
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) {
        return "";
    }
    const std::size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(start, end - start + 1);
}

void append_route(std::string& routes, const std::string& route) {
    if (!routes.empty()) {
        routes += ", ";
    }
    routes += route;
}

}  // namespace

bool needs_current_routes(const netsh_command& command) {
    return command.action == netsh_action::set_address_static ||
           command.action == netsh_action::set_address_dhcp;
}

argument_list routes_query_call(const std::string& connection) {
    return {"nmcli", "-g", "ipv4.routes", "connection", "show", "id", connection};
}

std::string routes_without_default(const std::string& routes) {
    std::string kept;
    std::size_t start = 0;
    while (start <= routes.size()) {
        std::size_t comma = routes.find(',', start);
        if (comma == std::string::npos) {
            comma = routes.size();
        }
        const std::string entry = trim(routes.substr(start, comma - start));
        const std::string destination = entry.substr(0, entry.find_first_of(" \t"));
        if (!entry.empty() && destination != "0.0.0.0/0") {
            append_route(kept, entry);
        }
        start = comma + 1;
    }
    return kept;
}

property_list command_properties(const netsh_command& command, const std::string& current_routes) {
    std::string routes = routes_without_default(current_routes);
    switch (command.action) {
        case netsh_action::set_address_static:
            if (!command.gateway.empty()) {
                std::string route = "0.0.0.0/0 " + command.gateway;
                if (!command.metric.empty()) {
                    route += " " + command.metric;
                }
                append_route(routes, route);
            }
            return {
                {"ipv4.method", "manual"},
                {"ipv4.addresses", command.address + "/" + std::to_string(command.prefix_length)},
                {"ipv4.gateway", ""},
                {"ipv4.routes", routes}};
        case netsh_action::set_address_dhcp:
            return {{"ipv4.method", "auto"},
                    {"ipv4.addresses", ""},
                    {"ipv4.gateway", ""},
                    {"ipv4.routes", routes}};
        case netsh_action::set_dns_static:
            return {{"ipv4.dns", command.address}, {"ipv4.ignore-auto-dns", "yes"}};
        case netsh_action::set_dns_dhcp:
            return {{"ipv4.dns", ""}, {"ipv4.ignore-auto-dns", "no"}};
        case netsh_action::add_dns:
            return {{"+ipv4.dns", command.address}, {"ipv4.ignore-auto-dns", "yes"}};
    }
    return {};
}

void gather_properties(property_list& gathered, const property_list& later) {
    // Named references, not a structured binding: clang before 16 cannot capture those.
    for (const auto& property : later) {
        const std::string& name = property.first;
        const std::string& value = property.second;
        if (name.starts_with('+')) {
            const auto set = std::find_if(gathered.begin(), gathered.end(),
                                          [&](const auto& p) { return p.first == name.substr(1); });
            if (set == gathered.end()) {
                gathered.emplace_back(name, value);  // adds to the list the profile has
            } else {
                set->second += (set->second.empty() ? "" : ",") + value;
            }
            continue;
        }
        // A value set replaces what was set or added before.
        std::erase_if(gathered, [&](const auto& p) { return p.first == "+" + name; });
        const auto set = std::find_if(gathered.begin(), gathered.end(),
                                      [&](const auto& p) { return p.first == name; });
        if (set == gathered.end()) {
            gathered.emplace_back(name, value);
        } else {
            set->second = value;
        }
    }
}

argument_list modify_call(const std::string& connection, const property_list& properties) {
    argument_list call = {"nmcli", "connection", "modify", "id", connection};
    for (const auto& [name, value] : properties) {
        call.push_back(name);
        call.push_back(value);
    }
    return call;
}

argument_list up_call(const std::string& connection) {
    return {"nmcli", "connection", "up", "id", connection};
}

}  // namespace norvane::cmd
