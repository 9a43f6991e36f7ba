// Decoding NetworkManager's bus messages: messages built here as NetworkManager sends them,
// read back the way the reader reads a reply.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <functional>

#include "host/posix/network_settings_posix.h"
#include "host/posix/nm_bus.h"

namespace norvane::host {
namespace {

// A message filled by fill, sealed and rewound for reading; read_bus_body's status and value.
struct decoded {
    int status = 0;
    bus_value value;
};
decoded decode(const std::function<void(sd_bus_message*)>& fill) {
    // Messages are made only on a started bus: one on a socket pair whose far end nobody reads.
    int ends[2] = {-1, -1};
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    sd_bus* bus = nullptr;
    EXPECT_GE(sd_bus_new(&bus), 0);
    EXPECT_GE(sd_bus_set_fd(bus, ends[0], ends[0]), 0);
    EXPECT_GE(sd_bus_start(bus), 0);
    sd_bus_message* m = nullptr;
    EXPECT_GE(sd_bus_message_new_method_call(bus, &m, "org.example.Test", "/", "org.example.Test",
                                             "Test"),
              0);
    fill(m);
    EXPECT_GE(sd_bus_message_seal(m, 1, 0), 0);
    EXPECT_GE(sd_bus_message_rewind(m, 1), 0);
    decoded d;
    d.status = read_bus_body(m, d.value);
    sd_bus_message_unref(m);
    sd_bus_close_unref(bus);  // closes ends[0]
    close(ends[1]);
    return d;
}

std::uint32_t network_order(unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
    const unsigned char bytes[4] = {a, b, c, d};
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// A connection profile as GetSettings returns it, through the decoder to the settings it holds.
TEST(nm_bus, a_profile_decodes_to_the_settings_it_holds) {
    const decoded d = decode([](sd_bus_message* m) {
        ASSERT_GE(
            sd_bus_message_append(
                m, "a{sa{sv}}", 2,                                                                //
                "connection", 3, "id", "s", "表 ソ", "interface-name", "s", "eth0",               //
                "autoconnect", "b", 0,                                                            //
                "ipv4", 5, "method", "s", "manual",                                               //
                "address-data", "aa{sv}", 1, 2, "address", "s", "192.0.2.10", "prefix", "u", 24,  //
                "route-data", "aa{sv}", 2,                                                        //
                3, "dest", "s", "0.0.0.0", "prefix", "u", 0, "next-hop", "s", "192.0.2.1", 4,
                "dest", "s", "10.0.0.0", "prefix", "u", 8, "next-hop", "s", "192.0.2.3", "metric",
                "u", 50,  //
                "dns", "au", 2, network_order(192, 0, 2, 53), network_order(192, 0, 2, 54),
                "route-metric", "x", static_cast<std::int64_t>(-1)),
            0);
    });
    ASSERT_EQ(d.status, 1);
    ASSERT_NE(d.value.at("connection"), nullptr);
    ASSERT_NE(d.value.at("connection")->at("id"), nullptr);
    EXPECT_EQ(d.value.at("connection")->at("id")->text, "表 ソ");
    EXPECT_EQ(d.value.at("connection")->at("autoconnect")->number, 0);
    EXPECT_EQ(d.value.at("ipv4")->at("route-metric")->number, -1);
    EXPECT_EQ(d.value.at("nothing"), nullptr);

    nm_connection_objects objects;
    objects.settings = d.value;
    const nm_connection c = interpret_nm_connection(objects);
    EXPECT_EQ(c.interface_name, "eth0");
    EXPECT_FALSE(c.stored.dhcp);
    EXPECT_EQ(c.stored.addresses,
              (std::vector<ipv4_settings::address>{{"192.0.2.10", "255.255.255.0"}}));
    EXPECT_EQ(c.stored.gateway, "192.0.2.1");
    EXPECT_EQ(c.stored.dns, (std::vector<std::string>{"192.0.2.53", "192.0.2.54"}));
    EXPECT_TRUE(c.other_routes);
}

// Every basic type, several values, keys that are not texts; what nests deeper than any of
// NetworkManager's values is refused rather than read without end.
TEST(nm_bus, values_of_every_kind_and_a_refusal_of_what_nests_too_deep) {
    const decoded many = decode([](sd_bus_message* m) {
        ASSERT_GE(
            sd_bus_message_append(m, "ybnqiuxtdsoga{us}", 200, 1, -3, 65535, -5, 4000000000U,
                                  static_cast<std::int64_t>(-7), static_cast<std::uint64_t>(9), 2.5,
                                  "text", "/a/b", "as", 1, 7U, "seven"),
            0);
    });
    ASSERT_EQ(many.status, 1);
    ASSERT_EQ(many.value.items.size(), 13U);
    const std::int64_t numbers[] = {200, 1, -3, 65535, -5, 4000000000LL, -7, 9};
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
        EXPECT_EQ(many.value.items[i].number, numbers[i]) << i;
    }
    EXPECT_EQ(many.value.items[9].text, "text");
    EXPECT_EQ(many.value.items[10].text, "/a/b");
    EXPECT_EQ(many.value.items[11].text, "as");
    ASSERT_NE(many.value.items[12].at("7"), nullptr);
    EXPECT_EQ(many.value.items[12].at("7")->text, "seven");

    const auto nested = [](int depth) {
        return decode([depth](sd_bus_message* m) {
            for (int i = 0; i < depth; ++i) {
                ASSERT_GE(sd_bus_message_open_container(m, 'v', "v"), 0);
            }
            ASSERT_GE(sd_bus_message_append(m, "v", "s", "deep"), 0);
            for (int i = 0; i < depth; ++i) {
                ASSERT_GE(sd_bus_message_close_container(m), 0);
            }
        });
    };
    const decoded shallow = nested(3);
    EXPECT_EQ(shallow.status, 1);
    EXPECT_EQ(shallow.value.text, "deep");
    EXPECT_LT(nested(40).status, 0);
}

}  // namespace
}  // namespace norvane::host
