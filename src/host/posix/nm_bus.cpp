#include "host/posix/nm_bus.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace norvane::host {
namespace {

constexpr const char* nm_service = "org.freedesktop.NetworkManager";
constexpr const char* nm_path = "/org/freedesktop/NetworkManager";
constexpr const char* properties_interface = "org.freedesktop.DBus.Properties";
// A call NetworkManager does not answer within this time fails (microseconds).
constexpr std::uint64_t call_timeout_us = 10'000'000;
// Deeper than any of NetworkManager's values; a deeper one is not read.
constexpr int deepest = 16;

struct bus_closer {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct message_unref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using bus_ptr = std::unique_ptr<sd_bus, bus_closer>;
using message_ptr = std::unique_ptr<sd_bus_message, message_unref>;

// A failed call's error, freed on every way out.
struct call_error {
    sd_bus_error error{};
    call_error() = default;
    call_error(const call_error&) = delete;
    call_error& operator=(const call_error&) = delete;
    ~call_error() { sd_bus_error_free(&error); }
};

template <typename T>
int read_number(sd_bus_message* m, char type, bus_value& out) {
    T value{};
    const int r = sd_bus_message_read_basic(m, type, &value);
    out.number = static_cast<std::int64_t>(value);
    return r;
}

int read_value(sd_bus_message* m, bus_value& out, int depth);

// The elements of the container m is in, up to its end.
int read_elements(sd_bus_message* m, bus_value& out, bool dictionary, int depth) {
    for (;;) {
        int r = sd_bus_message_at_end(m, 0);
        if (r != 0) {
            return r < 0 ? r : 1;
        }
        if (!dictionary) {
            out.items.emplace_back();
            r = read_value(m, out.items.back(), depth);
        } else {
            // An entry: its key (a basic type) and its value.
            char type = 0;
            const char* contents = nullptr;
            r = sd_bus_message_peek_type(m, &type, &contents);
            if (r <= 0 || (r = sd_bus_message_enter_container(m, type, contents)) <= 0) {
                return r < 0 ? r : -EBADMSG;
            }
            bus_value key;
            bus_value value;
            if ((r = read_value(m, key, depth)) <= 0 || (r = read_value(m, value, depth)) <= 0 ||
                (r = sd_bus_message_exit_container(m)) < 0) {
                return r < 0 ? r : -EBADMSG;
            }
            out.entries.push_back(
                {key.text.empty() ? std::to_string(key.number) : key.text, std::move(value)});
        }
        if (r <= 0) {
            return r < 0 ? r : -EBADMSG;
        }
    }
}

// One complete value at m's position, into out. 1 when read, 0 at the end of the container,
// a negative errno when the message cannot be read.
int read_value(sd_bus_message* m, bus_value& out, int depth) {
    char type = 0;
    const char* contents = nullptr;
    int r = sd_bus_message_peek_type(m, &type, &contents);
    if (r <= 0) {
        return r;
    }
    switch (type) {
        case SD_BUS_TYPE_STRING:
        case SD_BUS_TYPE_OBJECT_PATH:
        case SD_BUS_TYPE_SIGNATURE: {
            const char* text = nullptr;
            r = sd_bus_message_read_basic(m, type, &text);
            if (r > 0 && text != nullptr) {
                out.text = text;
            }
            return r;
        }
        case SD_BUS_TYPE_BOOLEAN:
            return read_number<int>(m, type, out);
        case SD_BUS_TYPE_BYTE:
            return read_number<std::uint8_t>(m, type, out);
        case SD_BUS_TYPE_INT16:
            return read_number<std::int16_t>(m, type, out);
        case SD_BUS_TYPE_UINT16:
            return read_number<std::uint16_t>(m, type, out);
        case SD_BUS_TYPE_INT32:
            return read_number<std::int32_t>(m, type, out);
        case SD_BUS_TYPE_UINT32:
            return read_number<std::uint32_t>(m, type, out);
        case SD_BUS_TYPE_INT64:
            return read_number<std::int64_t>(m, type, out);
        case SD_BUS_TYPE_UINT64:
            return read_number<std::uint64_t>(m, type, out);
        case SD_BUS_TYPE_UNIX_FD:
            return read_number<int>(m, type, out);
        case SD_BUS_TYPE_DOUBLE: {
            double value = 0;
            return sd_bus_message_read_basic(m, type, &value);  // none of ours; passed over
        }
        case SD_BUS_TYPE_ARRAY:
        case SD_BUS_TYPE_STRUCT:
        case SD_BUS_TYPE_VARIANT:
            break;
        default:
            return -EBADMSG;
    }
    if (depth >= deepest) {
        return -EBADMSG;
    }
    const bool dictionary = type == SD_BUS_TYPE_ARRAY && contents != nullptr &&
                            contents[0] == SD_BUS_TYPE_DICT_ENTRY_BEGIN;
    if ((r = sd_bus_message_enter_container(m, type, contents)) <= 0) {
        return r < 0 ? r : -EBADMSG;
    }
    if (type == SD_BUS_TYPE_VARIANT) {
        r = read_value(m, out, depth + 1);
    } else {
        r = read_elements(m, out, dictionary, depth + 1);
    }
    if (r <= 0) {
        return r < 0 ? r : -EBADMSG;
    }
    r = sd_bus_message_exit_container(m);
    return r < 0 ? r : 1;
}

// Why a call failed, in the program's words; the bus's own words follow in parentheses.
std::string failure_reason(const sd_bus_error& error, int r) {
    const bool stopped =
        sd_bus_error_has_name(&error, "org.freedesktop.DBus.Error.ServiceUnknown") ||
        sd_bus_error_has_name(&error, "org.freedesktop.DBus.Error.NameHasNoOwner");
    if (stopped) {
        return "NetworkManager が動作していません。";
    }
    std::string words;
    if (error.message != nullptr && error.message[0] != '\0') {
        words = error.message;
    } else if (error.name != nullptr) {
        words = error.name;
    } else {
        words = std::strerror(r < 0 ? -r : r);
    }
    std::string reason = "NetworkManager から設定を読めませんでした（";
    reason += words;
    reason += "）。";
    return reason;
}

class nm_reader {
  public:
    explicit nm_reader(sd_bus* bus) : bus_(bus) {}

    // Calls a method with no arguments (or one or two strings) and reads its reply; false with
    // reason_ set when it failed.
    bool call(const char* path, const char* interface, const char* member, bus_value& out,
              const char* first = nullptr, const char* second = nullptr) {
        call_error error;
        sd_bus_message* raw = nullptr;
        int r = 0;
        if (first == nullptr) {
            r = sd_bus_call_method(bus_, nm_service, path, interface, member, &error.error, &raw,
                                   "");
        } else if (second == nullptr) {
            r = sd_bus_call_method(bus_, nm_service, path, interface, member, &error.error, &raw,
                                   "s", first);
        } else {
            r = sd_bus_call_method(bus_, nm_service, path, interface, member, &error.error, &raw,
                                   "ss", first, second);
        }
        const message_ptr reply(raw);
        if (r < 0) {
            reason_ = failure_reason(error.error, r);
            return false;
        }
        if ((r = read_bus_body(reply.get(), out)) < 0) {
            reason_ = failure_reason(sd_bus_error{}, r);
            return false;
        }
        return true;
    }

    bool property(const char* path, const char* interface, const char* name, bus_value& out) {
        return call(path, properties_interface, "Get", out, interface, name);
    }
    bool all_properties(const char* path, const char* interface, bus_value& out) {
        return call(path, properties_interface, "GetAll", out, interface);
    }

    const std::string& reason() const { return reason_; }

  private:
    sd_bus* bus_;
    std::string reason_;
};

std::string id_of(const bus_value& settings) {
    const bus_value* connection = settings.at("connection");
    const bus_value* id = connection != nullptr ? connection->at("id") : nullptr;
    return id != nullptr ? id->text : std::string();
}

// Where the profile at settings_path is in use: its device and its applied IPv4 properties.
bool read_activity(nm_reader& reader, const std::string& settings_path, nm_connection_objects& c) {
    bus_value active_paths;
    if (!reader.property(nm_path, nm_service, "ActiveConnections", active_paths)) {
        return false;
    }
    for (const bus_value& path : active_paths.items) {
        bus_value active;
        if (!reader.all_properties(path.text.c_str(),
                                   "org.freedesktop.NetworkManager.Connection.Active", active)) {
            continue;  // gone meanwhile
        }
        const bus_value* profile = active.at("Connection");
        if (profile == nullptr || profile->text != settings_path) {
            continue;
        }
        c.active = true;
        const bus_value* devices = active.at("Devices");
        if (devices != nullptr && !devices->items.empty()) {
            bus_value name;
            if (reader.property(devices->items.front().text.c_str(),
                                "org.freedesktop.NetworkManager.Device", "Interface", name)) {
                c.device = name.text;
            }
        }
        const bus_value* ip4 = active.at("Ip4Config");
        if (ip4 != nullptr && !ip4->text.empty() && ip4->text != "/") {
            reader.all_properties(ip4->text.c_str(), "org.freedesktop.NetworkManager.IP4Config",
                                  c.ip4);
        }
        return true;
    }
    return true;
}

}  // namespace

int read_bus_body(sd_bus_message* message, bus_value& out) {
    bus_value body;
    const int r = read_elements(message, body, false, 0);
    if (r < 0) {
        return r;
    }
    if (body.items.size() == 1) {
        out = std::move(body.items.front());
    } else {
        out = std::move(body);
    }
    return 1;
}

const bus_value* bus_value::at(std::string_view key) const {
    for (const auto& entry : entries) {
        if (entry.key == key) {
            return &entry.value;
        }
    }
    return nullptr;
}

nm_lookup find_nm_connection(const std::string& connection_id) {
    nm_lookup lookup;
    sd_bus* raw = nullptr;
    const int opened = sd_bus_open_system(&raw);
    const bus_ptr bus(raw);
    if (opened < 0) {
        lookup.reason = "NetworkManager に接続できません（システムバス: ";
        lookup.reason += std::strerror(-opened);
        lookup.reason += "）。";
        return lookup;
    }
    sd_bus_set_method_call_timeout(bus.get(), call_timeout_us);
    nm_reader reader(bus.get());

    bus_value paths;
    if (!reader.call("/org/freedesktop/NetworkManager/Settings",
                     "org.freedesktop.NetworkManager.Settings", "ListConnections", paths)) {
        lookup.reason = reader.reason();
        return lookup;
    }
    std::vector<std::pair<std::string, bus_value>> named;  // path, settings
    for (const bus_value& path : paths.items) {
        bus_value settings;
        if (!reader.call(path.text.c_str(), "org.freedesktop.NetworkManager.Settings.Connection",
                         "GetSettings", settings)) {
            // A profile removed meanwhile, or one this user may not see, is not there for it.
            continue;
        }
        if (id_of(settings) == connection_id) {
            named.emplace_back(path.text, std::move(settings));
        }
    }
    lookup.matches = named.size();
    if (named.empty()) {
        lookup.outcome = nm_lookup::result::not_found;
        return lookup;
    }
    // Of several profiles of the name, the one in use.
    for (auto& [path, settings] : named) {
        nm_connection_objects c;
        if (!read_activity(reader, path, c)) {
            lookup.reason = reader.reason();
            return lookup;
        }
        if (c.active || &settings == &named.front().second) {
            c.settings = std::move(settings);
            lookup.connection = std::move(c);
            lookup.outcome = nm_lookup::result::found;
            if (lookup.connection.active) {
                break;
            }
        }
    }
    return lookup;
}

}  // namespace norvane::host
