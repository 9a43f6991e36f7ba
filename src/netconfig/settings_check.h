// After a script has run: are the connection's settings now what the profile asked for?
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/ui_services.h"
#include "host/host.h"
#include "netconfig/network_script.h"
#include "profiles/profile_record.h"

namespace norvane {

// One line per setting that differs between the record and the connection as it is now, in
// the order IP address, subnet mask, gateway, DNS servers (or DHCP for a DHCP record), each
// as "name: asked → 実際 actual". Addresses compare by value: 010.1.1.1 is 10.1.1.1. Throws
// host_error(13) for a dhcp_flag that is not a number, as the script does.
std::vector<std::string> settings_differences(const profile_record& record,
                                              const host::ipv4_settings& actual);

// How long Submit waits for the settings after a run, and how long it pauses between reads.
inline constexpr unsigned read_back_limit_ms = 5000;
inline constexpr unsigned read_back_pause_ms = 100;

// True when the settings are what the record asks for: the connection found and no
// difference; for a DHCP record on a connection in use also a lease held (an address).
bool settings_as_asked(const profile_record& record, const host::ipv4_settings& actual);

// The connection's settings after a run. A system may say a change is done before it shows
// it (the address comes a moment after the activation): after a run that ended well the
// settings are read again, with a pause between reads, until they are as asked or about
// read_back_limit_ms have passed; a missing connection, settings that cannot be read, a
// connection without a link or a failed run are read once. The last read is returned.
host::ipv4_settings read_back_settings(const profile_record& record, const network_run& run,
                                       host::network_settings& reader, host::waiter& waiter);

// The message box Submit shows after a run that ended.
struct submit_message {
    std::string text;
    int style = 0;
    std::string title;
    bool operator==(const submit_message&) const = default;
};

// What Submit tells the user after a run that ended, from the settings read back:
// - the settings as asked: the success box;
// - a connection without a link whose stored configuration is as asked: the information box
//   that says the settings are saved and take effect when it connects (the run may have failed
//   only in bringing the connection up);
// - otherwise the error box: the missing connection, settings that could not be read, or what
//   differs. A run that ended with a non-zero status and gave its reason has failed whatever
//   the settings look like; a zero status never hides a difference.
submit_message submit_report(const profile_record& record, const network_run& run,
                             const host::ipv4_settings& actual);

// The same where the settings cannot be read back: the run's exit status alone decides.
submit_message submit_report(const network_run& run);

}  // namespace norvane
