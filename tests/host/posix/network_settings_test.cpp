// Reading a connection's IPv4 settings back from NetworkManager's objects.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>

#include "host/posix/network_settings_posix.h"

namespace norvane::host {
namespace {

using address_list = std::vector<ipv4_settings::address>;
using text_list = std::vector<std::string>;
using entry_list = std::vector<bus_entry>;

bus_value text(const std::string& t) {
    bus_value v;
    v.text = t;
    return v;
}
bus_value number(std::int64_t n) {
    bus_value v;
    v.number = n;
    return v;
}
bus_value list(std::vector<bus_value> items) {
    bus_value v;
    v.items = std::move(items);
    return v;
}
bus_value dict(entry_list entries) {
    bus_value v;
    v.entries = std::move(entries);
    return v;
}
// An address as the bus carries it in the older lists: a number in network byte order.
bus_value network_order(unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
    const unsigned char bytes[4] = {a, b, c, d};
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return number(value);
}
bus_value address(const std::string& ip, std::int64_t prefix) {
    return dict({{"address", text(ip)}, {"prefix", number(prefix)}});
}
bus_value route(const std::string& dest, std::int64_t prefix, const std::string& next_hop) {
    return dict({{"dest", text(dest)}, {"prefix", number(prefix)}, {"next-hop", text(next_hop)}});
}
bus_value profile(entry_list ipv4, const std::string& interface_name = "") {
    return dict(
        {{"connection", dict({{"id", text("name=x")}, {"interface-name", text(interface_name)}})},
         {"ipv4", dict(std::move(ipv4))}});
}

TEST(network_settings, reads_what_the_device_has_applied_and_what_the_profile_holds) {
    nm_connection_objects active;
    active.active = true;
    active.device = "eth0";
    active.settings = profile({{"method", text("manual")},
                               {"address-data", list({address("192.0.2.10", 24)})},
                               {"gateway", text("")},
                               {"route-data", list({route("0.0.0.0", 0, "192.0.2.1")})},
                               {"dns", list({network_order(192, 0, 2, 53)})}});
    active.ip4 = dict({{"AddressData", list({address("192.0.2.10", 24), address("10.0.0.1", 8)})},
                       {"Gateway", text("192.0.2.1")},
                       {"NameserverData", list({dict({{"address", text("192.0.2.53")}}),
                                                dict({{"address", text("192.0.2.54")}})})},
                       {"Nameservers", list({network_order(9, 9, 9, 9)})}});
    const nm_connection a = interpret_nm_connection(active);
    EXPECT_TRUE(a.active);
    EXPECT_EQ(a.device, "eth0");
    EXPECT_FALSE(a.other_routes);
    EXPECT_EQ(a.applied.result, ipv4_settings::lookup::found);
    EXPECT_FALSE(a.applied.dhcp);
    EXPECT_FALSE(a.applied.not_connected);
    EXPECT_EQ(a.applied.addresses,
              (address_list{{"192.0.2.10", "255.255.255.0"}, {"10.0.0.1", "255.0.0.0"}}));
    EXPECT_EQ(a.applied.gateway, "192.0.2.1");
    EXPECT_EQ(a.applied.dns, (text_list{"192.0.2.53", "192.0.2.54"}));  // the newer list wins
    EXPECT_EQ(a.stored.dns, (text_list{"192.0.2.53"}));

    // Not in use: nothing applied; the profile's own addresses, its gateway as the default
    // route entry, its DNS list (as texts where the profile has them so); a route of the
    // user's own is seen.
    nm_connection_objects idle;
    idle.settings =
        profile({{"method", text("manual")},
                 {"address-data", list({address("192.0.2.10", 24), address("10.1.1.1", 8)})},
                 {"route-data",
                  list({route("10.0.0.0", 8, "192.0.2.3"), route("0.0.0.0", 0, "192.0.2.1")})},
                 {"dns", list({network_order(1, 1, 1, 1)})},
                 {"dns-data", list({text("192.0.2.53"), text("192.0.2.54")})}},
                "nve:0");
    const nm_connection i = interpret_nm_connection(idle);
    EXPECT_FALSE(i.active);
    EXPECT_TRUE(i.other_routes);
    EXPECT_EQ(i.interface_name, "nve:0");
    EXPECT_TRUE(i.applied.addresses.empty());
    EXPECT_TRUE(i.stored.not_connected);
    EXPECT_EQ(i.stored.addresses,
              (address_list{{"192.0.2.10", "255.255.255.0"}, {"10.1.1.1", "255.0.0.0"}}));
    EXPECT_EQ(i.stored.gateway, "192.0.2.1");
    EXPECT_EQ(i.stored.dns, (text_list{"192.0.2.53", "192.0.2.54"}));

    // A gateway of the profile's own comes first; a prefix out of range is no mask.
    nm_connection_objects own;
    own.settings = profile({{"gateway", text("10.0.0.1")},
                            {"address-data", list({address("10.0.0.5", 40)})},
                            {"route-data", list({route("0.0.0.0", 0, "192.0.2.1")})}});
    const nm_connection o = interpret_nm_connection(own);
    EXPECT_EQ(o.stored.gateway, "10.0.0.1");
    EXPECT_EQ(o.stored.addresses, (address_list{{"10.0.0.5", ""}}));

    // A profile without an ipv4 setting, or nothing at all, reads as empty.
    const nm_connection empty = interpret_nm_connection({});
    EXPECT_FALSE(empty.stored.dhcp);
    EXPECT_TRUE(empty.stored.addresses.empty());
    EXPECT_TRUE(empty.applied.dns.empty());
    nm_connection_objects dhcp;
    dhcp.settings = profile({{"method", text("auto")}});
    EXPECT_TRUE(interpret_nm_connection(dhcp).applied.dhcp);
    EXPECT_TRUE(interpret_nm_connection(dhcp).stored.dhcp);

    EXPECT_EQ(device_carrier("../../../etc/passwd"), std::nullopt);
    EXPECT_EQ(device_carrier("norvane-no-such-device"), std::nullopt);
    EXPECT_EQ(mask_of_prefix(0), "0.0.0.0");
    EXPECT_EQ(mask_of_prefix(23), "255.255.254.0");
    EXPECT_EQ(mask_of_prefix(33), "");
}

TEST(network_settings, asks_for_the_connection_by_its_id_and_tells_why_it_could_not) {
    nm_lookup in_use;
    in_use.outcome = nm_lookup::result::found;
    in_use.matches = 1;
    in_use.connection.active = true;
    in_use.connection.device = "eth0";
    in_use.connection.settings =
        profile({{"method", text("manual")}, {"address-data", list({address("192.0.2.10", 24)})}});
    in_use.connection.ip4 =
        dict({{"AddressData", list({address("192.0.2.10", 24), address("10.0.0.1", 8)})}});
    nm_lookup not_in_use;
    not_in_use.outcome = nm_lookup::result::found;
    not_in_use.matches = 1;
    not_in_use.connection.settings = profile(
        {{"method", text("manual")}, {"address-data", list({address("192.0.2.10", 24)})}}, "eth1");
    nm_lookup missing;
    missing.outcome = nm_lookup::result::not_found;
    nm_lookup stopped;
    stopped.reason = "NetworkManager が動作していません。";
    using enum ipv4_settings::lookup;
    const struct {
        const char* what;
        nm_lookup answer;
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
        {"no such connection", missing, false, "", not_found, false, 0, ""},
        {"NetworkManager not running", stopped, false, "", unknown, false, 0,
         "NetworkManager が動作していません。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> asked;
        std::vector<std::string> probed;
        const auto reader = create_nm_settings(
            [&](const std::string& id) {
                asked.push_back(id);
                return c.answer;
            },
            [&](const std::string& d) {
                probed.push_back(d);
                return c.carrier;
            });
        const auto s = reader->read_ipv4("name=x");
        EXPECT_EQ(s.result, c.result);
        EXPECT_EQ(s.not_connected, c.not_connected);
        EXPECT_EQ(s.addresses.size(), c.addresses);
        EXPECT_EQ(s.reason, c.reason);
        EXPECT_EQ(asked, std::vector<std::string>{"name=x"});
        EXPECT_EQ(probed, c.device.empty() ? std::vector<std::string>{}
                                           : std::vector<std::string>{c.device});
    }

    // Whether a profile holds routes of its own is told only of the one profile of a name.
    const auto other_routes = [](const nm_lookup& answer) {
        return nm_other_routes([&](const std::string&) { return answer; }, "name=x");
    };
    EXPECT_EQ(other_routes(in_use), false);
    nm_lookup routed = not_in_use;
    routed.connection.settings =
        profile({{"route-data", list({route("10.0.0.0", 8, "192.0.2.3")})}});
    EXPECT_EQ(other_routes(routed), true);
    nm_lookup twice = in_use;
    twice.matches = 2;
    EXPECT_EQ(other_routes(twice), std::nullopt);
    EXPECT_EQ(other_routes(missing), std::nullopt);
    EXPECT_EQ(other_routes(stopped), std::nullopt);
}

}  // namespace
}  // namespace norvane::host
