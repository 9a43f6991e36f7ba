// One change of a connection's settings, as Submit and the command line's apply make it: the
// settings kept before, the script run, the settings read back and judged, the way back to
// the settings kept when the change went wrong, and the record of it in the change log. It
// shows nothing itself: the caller's listener tells the user and answers the question.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/change_log.h"
#include "host/host.h"
#include "netconfig/network_script.h"
#include "netconfig/settings_check.h"
#include "profiles/profile_record.h"

namespace norvane {

// The question after a failed change, asked only where there is a way back.
inline constexpr const char* restore_question = "変更前の設定に戻しますか？";
inline constexpr int restore_question_style = mb_question | mb_yes_no | mb_default_button2;

// The message box of a run that did not reach the end of its script (refused, not started,
// the wait failed, a file failure).
submit_message run_failure_message(const network_run& run);

// A connection's settings as a profile: a DHCP connection gives flag 1 and empty addresses,
// a static one its first address with that address's mask, its gateway and up to three DNS
// servers in order.
profile_record record_from_settings(const std::string& profile_name,
                                    const std::string& connection_name,
                                    const host::ipv4_settings& settings);

// True when the settings can be applied again as a profile: found, and DHCP or a static
// address with its mask and a gateway (what Submit asks for).
bool settings_fit_a_profile(const host::ipv4_settings& settings);

// How a change came out.
enum class change_outcome {
    confirmed,  // the settings are as asked
    stored,     // stored as asked; the connection is not connected
    failed,     // anything else: the run failed, the settings differ or could not be read
};

// One run of a profile and what came of it.
struct change_attempt {
    profile_record record;
    network_run run;
    std::optional<host::ipv4_settings> read_back;  // when the run ended and could be read
    submit_message report;
    change_outcome outcome = change_outcome::failed;
};

// What a change is made with.
struct change_context {
    host::file_system& file_system;
    host::shell& shell;
    host::network_settings* reader = nullptr;  // null where the platform cannot read back
    host::waiter* waiter = nullptr;            // with the reader
    host::change_log* log = nullptr;           // null: no record is kept
    host::window_handle owner = 0;             // the window that owns the script's run
};

// The caller's side of a change: it tells the user and answers the question.
class change_listener {
  public:
    virtual ~change_listener() = default;
    // The box of the change, then (after a way back was taken) the box of the way back.
    virtual void report(const submit_message& message) = 0;
    // Asked after a failed change's report when the settings kept before can be applied again.
    virtual bool restore_agreed() = 0;
    // A failed change for which the settings kept before give no way back (unread, missing,
    // or more than a profile can hold).
    virtual void no_way_back() {}
};

// Applies the record: keeps the connection's settings, runs the script, reads the settings
// back and reports; after a failure of a script that ran, offers the way back and, when
// agreed, applies the settings kept before through the same script and reports that too (a
// failed way back is reported and not offered again). Appends one record to the change log;
// a log that cannot be written does not stop or change anything. Returns the outcome of the
// change asked for.
change_outcome apply_profile(const profile_record& record, const change_context& context,
                             change_listener& listener);

// The change log's record of a change: when, the profile and connection, each script's
// lines, how each run ended, the settings read back and what differs, and whether the way
// back was taken. `way_back` is the attempt to go back, if one was made.
std::string change_record(const std::string& time, const change_attempt& change,
                          const std::optional<change_attempt>& way_back, bool way_back_offered);

}  // namespace norvane
