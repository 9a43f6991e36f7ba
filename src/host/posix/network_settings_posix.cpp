#include "host/posix/network_settings_posix.h"

#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "host/platform.h"
#include "host/posix/nmcli_messages.h"

namespace norvane::host {
namespace {

// nmcli's exit status for a connection it does not know.
constexpr int nmcli_not_found = 10;

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

// "IP4.DNS[2]" is the field "IP4.DNS".
std::string field_name(const std::string& name) {
    return name.substr(0, name.find('['));
}

class nmcli_settings : public network_settings {
  public:
    explicit nmcli_settings(std::unique_ptr<command_runner> runner) : runner_(std::move(runner)) {}

    ipv4_settings read_ipv4(const std::string& connection_name) override {
        const process_result result =
            runner_->run({"nmcli", "--terse", "--fields", "ipv4.method,IP4", "connection", "show",
                          "id", connection_name});
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
        return parse_nmcli_ipv4(result.output);
    }

  private:
    std::unique_ptr<command_runner> runner_;
};

}  // namespace

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

ipv4_settings parse_nmcli_ipv4(const std::string& terse_output) {
    ipv4_settings settings;
    settings.result = ipv4_settings::lookup::found;
    std::size_t begin = 0;
    while (begin < terse_output.size()) {
        std::size_t end = terse_output.find('\n', begin);
        if (end == std::string::npos) {
            end = terse_output.size();
        }
        const auto [name, value] = split_terse_line(terse_output.substr(begin, end - begin));
        begin = end + 1;
        const std::string field = field_name(name);
        if (field == "ipv4.method") {
            settings.dhcp = value == "auto";
        } else if (field == "IP4.ADDRESS") {
            const std::size_t slash = value.find('/');
            int prefix = 32;
            if (slash != std::string::npos) {
                try {
                    prefix = std::stoi(value.substr(slash + 1));
                } catch (const std::exception&) {
                    prefix = -1;
                }
            }
            settings.addresses.push_back({value.substr(0, slash), mask_of_prefix(prefix)});
        } else if (field == "IP4.GATEWAY") {
            settings.gateway = value;
        } else if (field == "IP4.DNS") {
            settings.dns.push_back(value);
        }
    }
    return settings;
}

std::unique_ptr<network_settings> create_nmcli_settings(std::unique_ptr<command_runner> runner) {
    return std::make_unique<nmcli_settings>(std::move(runner));
}

std::unique_ptr<network_settings> create_network_settings() {
    return create_nmcli_settings(create_process_runner());
}

}  // namespace norvane::host
