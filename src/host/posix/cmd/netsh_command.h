// The netsh commands the program's scripts use, read from the words of a netsh line:
//   interface ip set address NAME static IP MASK [GATEWAY|none [METRIC]]
//   interface ip set address NAME dhcp
//   interface ip set dns NAME static ADDRESS|none [REGISTER]
//   interface ip set dns NAME dhcp
//   interface ip add dns NAME ADDRESS
// Keywords are case-insensitive ("ipv4" may stand for "ip"), and every parameter may also be
// given by its tag, as in name="ローカル エリア接続" or gateway=192.0.2.1.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace norvane::cmd {

enum class netsh_action {
    set_address_static,
    set_address_dhcp,
    set_dns_static,
    set_dns_dhcp,
    add_dns,
};

struct netsh_command {
    netsh_action action = netsh_action::set_address_dhcp;
    std::string connection;  // the connection's name
    std::string address;     // the IP address or the DNS server; "" for none
    int prefix_length = 0;   // set_address_static: the mask as a prefix length
    std::string gateway;     // set_address_static: "" for none
    std::string metric;      // set_address_static: the gateway's metric; "" when not given

    bool operator==(const netsh_command&) const = default;
};

// A command, or the message that says why the words are not one.
struct netsh_parse_result {
    std::optional<netsh_command> command;
    std::string error;
};

// Reads the words after "netsh".
netsh_parse_result parse_netsh(const std::vector<std::string>& words);

// The prefix length of a dotted subnet mask ("255.255.255.0" gives 24); nothing when the
// text is not a dotted address or its one bits are not contiguous from the left.
std::optional<int> prefix_length_of(const std::string& mask);

// True for a dotted IPv4 address of four numbers 0..255.
bool is_ipv4_address(const std::string& text);

}  // namespace norvane::cmd
