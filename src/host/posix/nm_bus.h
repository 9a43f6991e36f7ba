// NetworkManager's objects read over the system bus, without starting a program: the
// connection profile of a name, and while it is in use, its device and what the device has
// applied. A read costs a few bus calls where an nmcli call loads NetworkManager's whole
// state into a new process first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sd_bus_message;

namespace norvane::host {

struct bus_entry;

// A value as the bus carries it, whatever its type; a variant stands for what it holds.
struct bus_value {
    std::string text;                // a string, an object path or a signature
    std::int64_t number = 0;         // an integer or a Boolean (1 or 0)
    std::vector<bus_value> items;    // an array's elements or a structure's members
    std::vector<bus_entry> entries;  // a dictionary

    // The dictionary entry of that key; nullptr when there is none.
    const bus_value* at(std::string_view key) const;
};

// A dictionary's entry: its key as text (a number's in decimal), and its value.
struct bus_entry {
    std::string key;
    bus_value value;
};

// What NetworkManager holds for one connection profile.
struct nm_connection_objects {
    bus_value settings;   // the profile: setting name -> property name -> value
    bool active = false;  // in use on a device (activated or on its way)
    std::string device;   // the interface it is in use on
    bus_value ip4;        // while in use: what the device has applied (IPv4 properties)
};

struct nm_lookup {
    enum class result {
        found,      // connection holds the first profile of that name
        not_found,  // no profile of that name that this user may see
        failed,     // NetworkManager could not be asked; reason says why
    };
    result outcome = result::failed;
    nm_connection_objects connection;
    std::size_t matches = 0;  // profiles of that name
    std::string reason;       // why it failed, in the program's words
};

// A message's body from its current position: one value as it is, several as a structure's
// members. 1 when read; a negative errno for a message that cannot be read (or nests deeper
// than any of NetworkManager's values), out then partly filled.
int read_bus_body(sd_bus_message* message, bus_value& out);

// Asks NetworkManager on the system bus (DBUS_SYSTEM_BUS_ADDRESS where set) for the
// connection profile whose id is connection_id, the one in use first.
nm_lookup find_nm_connection(const std::string& connection_id);

}  // namespace norvane::host
