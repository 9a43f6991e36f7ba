// Reading a connection's IPv4 settings back from nmcli's terse output.
#include <gtest/gtest.h>

#include "host/posix/network_settings_posix.h"

#include <optional>

namespace norvane::host {
namespace {

using address_list = std::vector<ipv4_settings::address>;
using text_list = std::vector<std::string>;

TEST(network_settings, reads_what_the_device_has_applied_and_what_the_profile_holds) {
    const auto active = parse_nmcli_connection(
        "ipv4.method:manual\nipv4.addresses:192.0.2.10/24\nipv4.gateway:\n"
        "ipv4.routes:0.0.0.0/0 192.0.2.1 1\nipv4.dns:192.0.2.53\n"
        "connection.interface-name:\nGENERAL.DEVICES:eth0\n"
        "IP4.ADDRESS[1]:192.0.2.10/24\nIP4.ADDRESS[2]:10.0.0.1/8\n"
        "IP4.GATEWAY:192.0.2.1\nIP4.ROUTE[1]:dst = 0.0.0.0/0, nh = 192.0.2.1, mt = 1\n"
        "IP4.DNS[1]:192.0.2.53\nIP4.DNS[2]:192.0.2.54\n");
    EXPECT_TRUE(active.active);
    EXPECT_EQ(active.device, "eth0");
    EXPECT_EQ(active.applied.result, ipv4_settings::lookup::found);
    EXPECT_FALSE(active.applied.dhcp);
    EXPECT_FALSE(active.applied.not_connected);
    EXPECT_EQ(active.applied.addresses,
              (address_list{{"192.0.2.10", "255.255.255.0"}, {"10.0.0.1", "255.0.0.0"}}));
    EXPECT_EQ(active.applied.gateway, "192.0.2.1");
    EXPECT_EQ(active.applied.dns, (text_list{"192.0.2.53", "192.0.2.54"}));

    // Not in use: nothing applied; the profile's own addresses, its gateway as the default
    // route entry, its DNS list.
    const auto stored = parse_nmcli_connection(
        "ipv4.method:manual\nipv4.addresses:192.0.2.10/24, 10.1.1.1/8\nipv4.gateway:\n"
        "ipv4.routes:10.0.0.0/8 192.0.2.3, 0.0.0.0/0 192.0.2.1 1\n"
        "ipv4.dns:192.0.2.53,192.0.2.54\nconnection.interface-name:nve\\:0\n");
    EXPECT_FALSE(stored.active);
    EXPECT_EQ(stored.interface_name, "nve:0");
    EXPECT_TRUE(stored.applied.addresses.empty());
    EXPECT_TRUE(stored.stored.not_connected);
    EXPECT_EQ(stored.stored.addresses,
              (address_list{{"192.0.2.10", "255.255.255.0"}, {"10.1.1.1", "255.0.0.0"}}));
    EXPECT_EQ(stored.stored.gateway, "192.0.2.1");
    EXPECT_EQ(stored.stored.dns, (text_list{"192.0.2.53", "192.0.2.54"}));
    // A gateway of the profile's own comes first.
    EXPECT_EQ(parse_nmcli_connection("ipv4.gateway:10.0.0.1\nipv4.routes:0.0.0.0/0 192.0.2.1 1\n")
                  .stored.gateway,
              "10.0.0.1");

    const auto inactive_dhcp = parse_nmcli_connection("ipv4.method:auto\n");
    EXPECT_TRUE(inactive_dhcp.applied.dhcp);
    EXPECT_TRUE(inactive_dhcp.stored.dhcp);
    EXPECT_EQ(device_carrier("../../../etc/passwd"), std::nullopt);
    EXPECT_EQ(device_carrier("norvane-no-such-device"), std::nullopt);
    EXPECT_EQ(mask_of_prefix(0), "0.0.0.0");
    EXPECT_EQ(mask_of_prefix(23), "255.255.254.0");
    EXPECT_EQ(mask_of_prefix(33), "");
}

// An nmcli that answers with a fixed status and output.
struct fixed_nmcli : command_runner {
    process_result answer;
    std::vector<std::vector<std::string>> calls;
    process_result run(const std::vector<std::string>& args) override {
        calls.push_back(args);
        return answer;
    }
};

TEST(network_settings, asks_for_the_connection_by_its_id_and_tells_why_it_could_not) {
    const std::string fields =
        "ipv4.method,ipv4.addresses,ipv4.gateway,ipv4.routes,ipv4.dns,connection.interface-name,"
        "GENERAL.DEVICES,IP4";
    // nmcli by the full path the reader was given, never looked up in PATH.
    const std::vector<std::string> show_x = {"/opt/nm/nmcli", "--terse", "--fields", fields,
                                             "connection",    "show",    "id",       "name=x"};
    const process_result in_use{true, 0, 0,
                                "ipv4.method:manual\nipv4.addresses:192.0.2.10/24\n"
                                "connection.interface-name:\nGENERAL.DEVICES:eth0\n"
                                "IP4.ADDRESS[1]:192.0.2.10/24\nIP4.ADDRESS[2]:10.0.0.1/8\n",
                                ""};
    const process_result not_in_use{
        true, 0, 0,
        "ipv4.method:manual\nipv4.addresses:192.0.2.10/24\nconnection.interface-name:eth1\n", ""};
    const process_result missing{true, 0, 10, "",
                                 "エラー: x - そのような接続プロファイルはありません。\n"};
    const process_result stopped{true, 0, 8, "", "Error: NetworkManager is not running.\n"};
    const process_result no_nmcli{false, 2, -1, "", ""};
    using enum ipv4_settings::lookup;
    const struct {
        const char* what;
        process_result answer;
        std::optional<bool> carrier;  // of the device asked about
        std::string device;           // the device asked about ("" none)
        ipv4_settings::lookup result;
        bool not_connected;
        std::size_t addresses;
        std::string reason;
    } cases[] = {
        {"in use, carrier", in_use, true, "eth0", found, false, 2, ""},
        {"in use, no carrier: the profile", in_use, false, "eth0", found, true, 1, ""},
        {"not in use, its device without carrier", not_in_use, false, "eth1", found, true, 1, ""},
        {"not in use, carrier not known", not_in_use, std::nullopt, "eth1", found, false, 0, ""},
        {"no such connection, in Japanese", missing, false, "", not_found, false, 0, ""},
        {"NetworkManager not running", stopped, false, "", unknown, false, 0,
         "NetworkManager が動作していません。"},
        {"nmcli missing", no_nmcli, false, "", unknown, false, 0, "nmcli を実行できません。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto nmcli = std::make_unique<fixed_nmcli>();
        nmcli->answer = c.answer;
        auto* seen = nmcli.get();
        std::vector<std::string> probed;
        const auto reader = create_nmcli_settings(
            std::move(nmcli),
            [&](const std::string& d) {
                probed.push_back(d);
                return c.carrier;
            },
            "/opt/nm/nmcli");
        const auto s = reader->read_ipv4("name=x");
        EXPECT_EQ(s.result, c.result);
        EXPECT_EQ(s.not_connected, c.not_connected);
        EXPECT_EQ(s.addresses.size(), c.addresses);
        EXPECT_EQ(s.reason, c.reason);
        EXPECT_EQ(seen->calls, (std::vector<std::vector<std::string>>{show_x}));
        EXPECT_EQ(probed, c.device.empty() ? std::vector<std::string>{}
                                           : std::vector<std::string>{c.device});
    }
}

}  // namespace
}  // namespace norvane::host
