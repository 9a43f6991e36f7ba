#include "host/posix/network_settings_posix.h"

#include <cstdint>
#include <exception>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "host/platform.h"
#include "host/posix/nmcli_messages.h"

namespace norvane::host {
namespace {

// A terse line "NAME:VALUE"; in the value, nmcli escapes ':' and '\' with '\'.
std::pair<std::string, std::string> split_terse_line(const std::string& line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) {
        return {line, ""};
    }
    std::string value;
    for (std::size_t i = colon + 1; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            ++i;
        }
        value.push_back(line[i]);
    }
    return {line.substr(0, colon), value};
}

// Calls f(field, value) for each line of terse output; "IP4.DNS[2]" is the field "IP4.DNS".
template <typename F>
void for_each_terse_field(const std::string& terse_output, F f) {
    std::size_t begin = 0;
    while (begin < terse_output.size()) {
        std::size_t end = terse_output.find('\n', begin);
        if (end == std::string::npos) {
            end = terse_output.size();
        }
        const auto [name, value] = split_terse_line(terse_output.substr(begin, end - begin));
        begin = end + 1;
        f(name.substr(0, name.find('[')), value);
    }
}

// The items of a list value: "a, b" or "a,b".
std::vector<std::string> list_items(const std::string& value) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start < value.size()) {
        std::size_t comma = value.find(',', start);
        if (comma == std::string::npos) {
            comma = value.size();
        }
        std::string item = value.substr(start, comma - start);
        item.erase(0, item.find_first_not_of(' '));
        item.erase(item.find_last_not_of(' ') + 1);
        if (!item.empty()) {
            items.push_back(item);
        }
        start = comma + 1;
    }
    return items;
}

// "192.0.2.10/24" as an address with its dotted mask.
ipv4_settings::address address_of(const std::string& value) {
    const std::size_t slash = value.find('/');
    int prefix = 32;
    if (slash != std::string::npos) {
        try {
            prefix = std::stoi(value.substr(slash + 1));
        } catch (const std::exception&) {
            prefix = -1;
        }
    }
    return {value.substr(0, slash), mask_of_prefix(prefix)};
}

class nmcli_settings : public network_settings {
  public:
    nmcli_settings(std::unique_ptr<command_runner> runner, carrier_probe carrier, std::string nmcli)
        : runner_(std::move(runner)), carrier_(std::move(carrier)), nmcli_(std::move(nmcli)) {}

    ipv4_settings read_ipv4(const std::string& connection_name) override {
        std::vector<std::string> call = connection_show_call(connection_name);
        call.front() = nmcli_;
        const process_result result = runner_->run(call);
        ipv4_settings settings;
        if (!result.started) {
            settings.reason = "nmcli を実行できません。";
            return settings;
        }
        if (result.exit_status == nmcli_not_found) {
            settings.result = ipv4_settings::lookup::not_found;
            return settings;
        }
        if (result.exit_status != 0) {
            settings.reason =
                nmcli_failure_reason(connection_name, result.exit_status, result.errors);
            return settings;
        }
        // Without carrier, what the profile holds is what the connection will have once the
        // link is there (NetworkManager may even have put a static address on the device).
        const nmcli_connection connection = parse_nmcli_connection(result.output);
        const std::string& device =
            connection.device.empty() ? connection.interface_name : connection.device;
        if (!device.empty() && carrier_(device) == false) {
            return connection.stored;
        }
        return connection.applied;
    }

  private:
    std::unique_ptr<command_runner> runner_;
    carrier_probe carrier_;
    std::string nmcli_;  // the program started for "nmcli"
};

}  // namespace

std::vector<std::string> connection_show_call(const std::string& connection_name) {
    return {"nmcli",
            "--terse",
            "--fields",
            "ipv4.method,ipv4.addresses,ipv4.gateway,ipv4.routes,ipv4.dns,"
            "connection.interface-name,GENERAL.DEVICES,IP4",
            "connection",
            "show",
            "id",
            connection_name};
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

nmcli_connection parse_nmcli_connection(const std::string& terse_output) {
    nmcli_connection c;
    c.applied.result = ipv4_settings::lookup::found;
    c.stored.result = ipv4_settings::lookup::found;
    c.stored.not_connected = true;
    std::string default_route_gateway;
    for_each_terse_field(terse_output, [&](const std::string& field, const std::string& value) {
        if (field == "ipv4.method") {
            c.applied.dhcp = c.stored.dhcp = value == "auto";
        } else if (field == "ipv4.addresses") {
            for (const auto& item : list_items(value)) {
                c.stored.addresses.push_back(address_of(item));
            }
        } else if (field == "ipv4.gateway") {
            c.stored.gateway = value;
        } else if (field == "ipv4.routes") {
            // The program keeps a gateway as the default route entry "0.0.0.0/0 GW METRIC".
            for (const auto& route : list_items(value)) {
                if (route.starts_with("0.0.0.0/0 ") && default_route_gateway.empty()) {
                    const std::string rest = route.substr(10);
                    default_route_gateway = rest.substr(0, rest.find(' '));
                }
            }
        } else if (field == "ipv4.dns") {
            c.stored.dns = list_items(value);
        } else if (field == "connection.interface-name") {
            c.interface_name = value;
        } else if (field == "GENERAL.DEVICES") {
            c.active = true;
            c.device = value;
        } else if (field == "IP4.ADDRESS") {
            c.active = true;
            c.applied.addresses.push_back(address_of(value));
        } else if (field == "IP4.GATEWAY") {
            c.applied.gateway = value;
        } else if (field == "IP4.DNS") {
            c.applied.dns.push_back(value);
        }
    });
    if (c.stored.gateway.empty()) {
        c.stored.gateway = default_route_gateway;
    }
    return c;
}

std::unique_ptr<network_settings> create_nmcli_settings(std::unique_ptr<command_runner> runner,
                                                        carrier_probe carrier, std::string nmcli) {
    return std::make_unique<nmcli_settings>(std::move(runner), std::move(carrier),
                                            std::move(nmcli));
}

std::unique_ptr<network_settings> create_network_settings() {
    runner_options options;
    options.search_path = false;
    options.environment = nmcli_untranslated_environment();
    return create_nmcli_settings(create_process_runner(options), device_carrier, nmcli_program());
}

}  // namespace norvane::host
