// Reading a connection's IPv4 settings back from nmcli's terse output.
#include <gtest/gtest.h>

#include "host/posix/network_settings_posix.h"

namespace norvane::host {
namespace {

// An nmcli that answers with a fixed status and output.
struct fixed_nmcli : command_runner {
    process_result answer;
    std::vector<std::string> arguments;
    process_result run(const std::vector<std::string>& args) override {
        arguments = args;
        return answer;
    }
};

TEST(network_settings, reads_the_method_and_what_the_device_has_applied) {
    const auto s = parse_nmcli_ipv4(
        "ipv4.method:manual\nIP4.ADDRESS[1]:192.0.2.10/24\nIP4.ADDRESS[2]:10.0.0.1/8\n"
        "IP4.GATEWAY:192.0.2.1\nIP4.ROUTE[1]:dst = 0.0.0.0/0, nh = 192.0.2.1, mt = 1\n"
        "IP4.DNS[1]:192.0.2.53\nIP4.DNS[2]:192.0.2.54\n");
    EXPECT_EQ(s.result, ipv4_settings::lookup::found);
    EXPECT_FALSE(s.dhcp);
    EXPECT_EQ(s.addresses, (std::vector<ipv4_settings::address>{{"192.0.2.10", "255.255.255.0"},
                                                                {"10.0.0.1", "255.0.0.0"}}));
    EXPECT_EQ(s.gateway, "192.0.2.1");
    EXPECT_EQ(s.dns, (std::vector<std::string>{"192.0.2.53", "192.0.2.54"}));

    const auto inactive = parse_nmcli_ipv4("ipv4.method:auto\n");
    EXPECT_TRUE(inactive.dhcp);
    EXPECT_TRUE(inactive.addresses.empty());
    EXPECT_EQ(mask_of_prefix(0), "0.0.0.0");
    EXPECT_EQ(mask_of_prefix(23), "255.255.254.0");
    EXPECT_EQ(mask_of_prefix(33), "");
}

TEST(network_settings, asks_for_the_connection_by_its_id_and_tells_why_it_could_not) {
    const struct {
        process_result answer;
        ipv4_settings::lookup result;
        std::string reason;
    } cases[] = {
        {{true, 0, 0, "ipv4.method:auto\n", ""}, ipv4_settings::lookup::found, ""},
        {{true, 0, 10, "", "Error: x - no such connection profile.\n"},
         ipv4_settings::lookup::not_found,
         ""},
        {{true, 0, 8, "", "Error: NetworkManager is not running.\n"},
         ipv4_settings::lookup::unknown,
         "NetworkManager が動作していません。"},
        {{false, 2, -1, "", ""}, ipv4_settings::lookup::unknown, "nmcli を実行できません。"},
    };
    for (const auto& c : cases) {
        auto nmcli = std::make_unique<fixed_nmcli>();
        nmcli->answer = c.answer;
        auto* seen = nmcli.get();
        const auto reader = create_nmcli_settings(std::move(nmcli));
        const auto s = reader->read_ipv4("name=x");
        EXPECT_EQ(s.result, c.result);
        EXPECT_EQ(s.reason, c.reason);
        EXPECT_EQ(seen->arguments,
                  (std::vector<std::string>{"nmcli", "--terse", "--fields", "ipv4.method,IP4",
                                            "connection", "show", "id", "name=x"}));
    }
}

}  // namespace
}  // namespace norvane::host
