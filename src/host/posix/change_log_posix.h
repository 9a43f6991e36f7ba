// The Linux side of the change log: the folder from the XDG base directories, the log opened
// without following links in a folder only its owner may write, appended to under its lock,
// and moved to the one older log when a record would take it past its limit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/change_log.h"

namespace norvane::host {

// The log's folder: $XDG_STATE_HOME/norvane when that is an absolute path, otherwise
// $HOME/.local/state/norvane; "" when neither gives one. Null stands for an unset variable.
std::string change_log_folder(const char* xdg_state_home, const char* home);

// A log in that folder (made with mode 0700, the missing folders above it too), kept below
// limit bytes.
std::unique_ptr<change_log> create_change_log_in(const std::string& folder,
                                                 std::uint64_t limit = change_log_limit);

}  // namespace norvane::host
