// From a connection's name to its adapter's settings, as the Windows side finds them: the
// registry's connection names, the adapters' list.
#include "host/adapter_settings.h"

#include <gtest/gtest.h>

namespace norvane::host {
namespace {

const std::vector<connection_name> names = {
    {"ローカル エリア接続", "{AAAA-1}"},
    {"Wireless", "{bbbb-2}"},
    {"Unplugged", "{CCCC-3}"},
};

const std::vector<adapter_record> adapters = {
    {"{aaaa-1}",
     false,
     {{"192.168.0.10", "255.255.255.0"}, {"10.0.0.1", "255.0.0.0"}},
     {"0.0.0.0", "192.168.0.1"},
     {"192.168.0.1", "192.168.0.2"}},
    {"{BBBB-2}", true, {{"0.0.0.0", "0.0.0.0"}}, {"0.0.0.0"}, {}},
};

TEST(adapter_settings, a_name_leads_to_its_adapter_whatever_the_case_of_the_identifier) {
    const auto lan = settings_for_connection("ローカル エリア接続", names, adapters);
    EXPECT_EQ(lan.result, ipv4_settings::lookup::found);
    EXPECT_FALSE(lan.dhcp);
    EXPECT_EQ(lan.addresses, adapters[0].addresses);
    EXPECT_EQ(lan.gateway, "192.168.0.1");  // the first that is an address
    EXPECT_EQ(lan.dns, (std::vector<std::string>{"192.168.0.1", "192.168.0.2"}));

    // A DHCP adapter still waiting for its lease lists 0.0.0.0: no address, no gateway.
    const auto wireless = settings_for_connection("WIRELESS", names, adapters);
    EXPECT_EQ(wireless.result, ipv4_settings::lookup::found);
    EXPECT_TRUE(wireless.dhcp);
    EXPECT_TRUE(wireless.addresses.empty());
    EXPECT_EQ(wireless.gateway, "");
}

TEST(adapter_settings, an_unknown_name_is_not_found_and_an_absent_adapter_has_nothing) {
    EXPECT_EQ(settings_for_connection("ローカル エリア接続 2", names, adapters).result,
              ipv4_settings::lookup::not_found);
    EXPECT_EQ(settings_for_connection("name=Wireless", names, adapters).result,
              ipv4_settings::lookup::not_found);
    const auto unplugged = settings_for_connection("Unplugged", names, adapters);
    EXPECT_EQ(unplugged.result, ipv4_settings::lookup::found);
    EXPECT_TRUE(unplugged.addresses.empty());
}

// An adapter without a link lists 0.0.0.0; the configuration stored for it is what it will
// have, and says so. Without a stored configuration it reads as listed.
TEST(adapter_settings, an_adapter_without_a_link_is_read_from_its_stored_configuration) {
    auto unplugged = adapters;
    unplugged[0].connected = false;
    unplugged[0].addresses = {{"0.0.0.0", "0.0.0.0"}};
    std::vector<std::string> asked;
    const stored_lookup stored = [&](const std::string& id) -> std::optional<stored_configuration> {
        asked.push_back(id);
        if (id == "{CCCC-3}") {
            return stored_configuration{true, {"0.0.0.0"}, {"0.0.0.0"}, {}, ""};
        }
        if (id != "{AAAA-1}") {
            return std::nullopt;
        }
        return stored_configuration{false,
                                    {"192.168.0.10", "10.0.0.1"},
                                    {"255.255.255.0", "255.0.0.0"},
                                    {"0.0.0.0", "192.168.0.1"},
                                    "192.168.0.1,192.168.0.2 192.168.0.3"};
    };
    const auto lan = settings_for_connection("ローカル エリア接続", names, unplugged, stored);
    EXPECT_EQ(asked, (std::vector<std::string>{"{AAAA-1}"}));
    EXPECT_EQ(lan.result, ipv4_settings::lookup::found);
    EXPECT_TRUE(lan.not_connected);
    EXPECT_FALSE(lan.dhcp);
    EXPECT_EQ(lan.addresses, (std::vector<ipv4_settings::address>{{"192.168.0.10", "255.255.255.0"},
                                                                  {"10.0.0.1", "255.0.0.0"}}));
    EXPECT_EQ(lan.gateway, "192.168.0.1");
    EXPECT_EQ(lan.dns, (std::vector<std::string>{"192.168.0.1", "192.168.0.2", "192.168.0.3"}));

    // Not in the list at all, DHCP stored: DHCP, no address.
    const auto absent = settings_for_connection("Unplugged", names, unplugged, stored);
    EXPECT_TRUE(absent.not_connected);
    EXPECT_TRUE(absent.dhcp);
    EXPECT_TRUE(absent.addresses.empty());

    // A link: the adapter's own settings, whatever is stored.
    const auto linked = settings_for_connection("ローカル エリア接続", names, adapters, stored);
    EXPECT_FALSE(linked.not_connected);
    EXPECT_EQ(linked.addresses, adapters[0].addresses);

    // No link and nothing stored: as listed, nothing.
    unplugged[1].connected = false;
    const auto wireless = settings_for_connection("Wireless", names, unplugged, stored);
    EXPECT_FALSE(wireless.not_connected);
    EXPECT_TRUE(wireless.addresses.empty());
}

}  // namespace
}  // namespace norvane::host
