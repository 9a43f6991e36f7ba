// The record of changes: one record per change of the network settings, appended to a log in
// the user's own folder of the platform (Linux: $XDG_STATE_HOME/norvane/, by default
// ~/.local/state/norvane/; Windows: the user's application data folder, Norvane). The core
// writes what a record says; the platform side keeps the log's size bounded.
#pragma once

#include <cstdint>
#include <string>

namespace norvane::host {

// A log grows to about this many bytes; the record that would take it past is written to a
// new log, and the full one becomes the one older log (replacing the previous older one).
inline constexpr std::uint64_t change_log_limit = 1024 * 1024;

inline constexpr const char* change_log_file_name = "changes.log";
inline constexpr const char* older_change_log_file_name = "changes.log.1";

class change_log {
  public:
    virtual ~change_log() = default;
    // The local date and time now, as 2026-12-07 21:57:27 +0900 (the zone where the platform
    // gives it).
    virtual std::string local_time() = 0;
    // Appends one record: UTF-8 lines, each ending in "\n" (written with the platform's own
    // line ends). All or nothing; throws host_error when the log cannot be written.
    virtual void append(const std::string& record) = 0;
    // The log's full name, for the user ("" when the platform has no place for it).
    virtual std::string location() = 0;
};

}  // namespace norvane::host
