// Reading netsh command lines.
#include "host/posix/cmd/netsh_command.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>

#include "host/posix/cmd/cmd_line.h"

namespace norvane::cmd {
namespace {

std::optional<std::uint32_t> parse_ipv4(const std::string& text) {
    std::uint32_t value = 0;
    int parts = 0;
    std::size_t pos = 0;
    while (parts < 4) {
        std::size_t start = pos;
        unsigned part = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
            part = part * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
        }
        if (pos == start || part > 255) {
            return std::nullopt;
        }
        value = (value << 8) | part;
        ++parts;
        if (parts < 4) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return value;
}

bool is_digits(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// The parameters of one command, by tag, as the words gave them.
using parameter_map = std::map<std::string, std::string>;

// Fills the tags in order from the words: a word "tag=value" whose tag is one of the
// command's (case-insensitive) sets that tag, any other word the next tag not yet set.
// Aliases maps another spelling of a tag to the tag. Returns "" or the message.
std::string collect_parameters(const std::vector<std::string>& words, std::size_t first,
                               const std::vector<std::string>& tags,
                               const std::map<std::string, std::string>& aliases,
                               parameter_map& parameters) {
    std::size_t next = 0;
    for (std::size_t i = first; i < words.size(); ++i) {
        const std::string& word = words[i];
        std::string tag;
        std::string value = word;
        const std::size_t equals = word.find('=');
        if (equals != std::string::npos) {
            std::string candidate = lower_ascii(word.substr(0, equals));
            if (auto alias = aliases.find(candidate); alias != aliases.end()) {
                candidate = alias->second;
            }
            for (const std::string& known : tags) {
                if (known == candidate) {
                    tag = known;
                    value = word.substr(equals + 1);
                }
            }
        }
        if (tag.empty()) {
            while (next < tags.size() && parameters.count(tags[next]) != 0) {
                ++next;
            }
            if (next == tags.size()) {
                return "パラメーターが多すぎます: " + word;
            }
            tag = tags[next];
        }
        if (!parameters.emplace(tag, value).second) {
            return "パラメーター " + tag + " が 2 回指定されています。";
        }
    }
    return "";
}

std::string missing(const std::string& tag) {
    return "必要なパラメーター " + tag + " が指定されていません。";
}

std::string not_address(const std::string& text) {
    return "'" + text + "' は有効な IP アドレスではありません。";
}

netsh_parse_result failure(std::string message) {
    return {std::nullopt, std::move(message)};
}

// The start every command shares: its parameters collected from the words (address= also
// names addr), each of the required tags present, the connection taken from name, and for a
// set command its source: dhcp, which takes none of the tags that belong to static, or static.
struct command_start {
    parameter_map p;
    netsh_command command;
    bool dhcp = false;
    std::string error;  // "" or the message
};

command_start begin_command(const std::vector<std::string>& words, std::size_t first,
                            const std::vector<std::string>& tags,
                            const std::vector<std::string>& required,
                            const std::vector<std::string>& static_tags = {}) {
    command_start start;
    parameter_map& p = start.p;
    start.error = collect_parameters(words, first, tags, {{"address", "addr"}}, p);
    for (const std::string& tag : required) {
        if (start.error.empty() && p.count(tag) == 0) {
            start.error = missing(tag);
        }
    }
    start.command.connection = p["name"];
    if (!start.error.empty() || p.count("source") == 0) {
        return start;
    }
    const std::string source = lower_ascii(p["source"]);
    start.dhcp = source == "dhcp";
    for (const std::string& tag : static_tags) {
        if (start.dhcp && p.count(tag) != 0) {
            start.error = "dhcp では " + tag + " は指定できません。";
            return start;
        }
    }
    if (!start.dhcp && source != "static") {
        start.error = "source には dhcp か static を指定してください: " + p["source"];
    }
    return start;
}

netsh_parse_result parse_set_address(const std::vector<std::string>& words, std::size_t first) {
    auto [p, command, dhcp, error] =
        begin_command(words, first, {"name", "source", "addr", "mask", "gateway", "gwmetric"},
                      {"name", "source"}, {"addr", "mask", "gateway", "gwmetric"});
    if (!error.empty()) {
        return failure(error);
    }
    if (dhcp) {
        command.action = netsh_action::set_address_dhcp;
        return {command, ""};
    }
    if (p.count("addr") == 0) {
        return failure(missing("addr"));
    }
    if (p.count("mask") == 0) {
        return failure(missing("mask"));
    }
    command.action = netsh_action::set_address_static;
    command.address = p["addr"];
    if (!is_ipv4_address(command.address)) {
        return failure(not_address(command.address));
    }
    const std::optional<int> prefix = prefix_length_of(p["mask"]);
    if (!prefix) {
        return failure("'" + p["mask"] + "' は有効なサブネット マスクではありません。");
    }
    command.prefix_length = *prefix;
    if (p.count("gateway") != 0 && lower_ascii(p["gateway"]) != "none") {
        command.gateway = p["gateway"];
        if (!is_ipv4_address(command.gateway)) {
            return failure(not_address(command.gateway));
        }
    }
    if (p.count("gwmetric") != 0) {
        if (command.gateway.empty()) {
            return failure("ゲートウェイがないときは gwmetric は指定できません。");
        }
        if (!is_digits(p["gwmetric"]) || p["gwmetric"].size() > 4) {
            return failure("'" + p["gwmetric"] + "' は有効なメトリックではありません。");
        }
        command.metric = p["gwmetric"];
    }
    return {command, ""};
}

netsh_parse_result parse_set_dns(const std::vector<std::string>& words, std::size_t first) {
    auto [p, command, dhcp, error] = begin_command(
        words, first, {"name", "source", "addr", "register"}, {"name", "source"}, {"addr"});
    if (!error.empty()) {
        return failure(error);
    }
    if (dhcp) {
        command.action = netsh_action::set_dns_dhcp;
        return {command, ""};
    }
    if (p.count("addr") == 0) {
        return failure(missing("addr"));
    }
    command.action = netsh_action::set_dns_static;
    if (lower_ascii(p["addr"]) != "none") {
        command.address = p["addr"];
        if (!is_ipv4_address(command.address)) {
            return failure(not_address(command.address));
        }
    }
    // register= concerns registering the name with the DNS servers; there is nothing to
    // register here, so any of its values is accepted.
    return {command, ""};
}

netsh_parse_result parse_add_dns(const std::vector<std::string>& words, std::size_t first) {
    auto [p, command, dhcp, error] =
        begin_command(words, first, {"name", "addr"}, {"name", "addr"});
    if (!error.empty()) {
        return failure(error);
    }
    command.action = netsh_action::add_dns;
    command.address = p["addr"];
    if (!is_ipv4_address(command.address)) {
        return failure(not_address(command.address));
    }
    return {command, ""};
}

std::string join_words(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty()) {
            text += ' ';
        }
        text += word;
    }
    return text;
}

}  // namespace

bool is_ipv4_address(const std::string& text) {
    return parse_ipv4(text).has_value();
}

std::optional<int> prefix_length_of(const std::string& mask) {
    const std::optional<std::uint32_t> bits = parse_ipv4(mask);
    if (!bits) {
        return std::nullopt;
    }
    int length = 0;
    std::uint32_t rest = *bits;
    while (length < 32 && (rest & 0x80000000u) != 0) {
        rest <<= 1;
        ++length;
    }
    if (rest != 0) {
        return std::nullopt;  // a one bit after a zero bit
    }
    return length;
}

netsh_parse_result parse_netsh(const std::vector<std::string>& words) {
    auto word = [&](std::size_t i) {
        return i < words.size() ? lower_ascii(words[i]) : std::string();
    };
    const bool interface_ip = word(0) == "interface" && (word(1) == "ip" || word(1) == "ipv4");
    if (interface_ip && words.size() >= 4) {
        const std::string verb = word(2);
        const std::string object = word(3);
        if (verb == "set" && object == "address") {
            return parse_set_address(words, 4);
        }
        if (verb == "set" && object == "dns") {
            return parse_set_dns(words, 4);
        }
        if (verb == "add" && object == "dns") {
            return parse_add_dns(words, 4);
        }
    }
    return failure("次のコマンドが見つかりませんでした: " + join_words(words));
}

}  // namespace norvane::cmd
