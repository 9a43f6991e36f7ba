// What each platform side provides to the program's entry point. Exactly one side is linked
// into a program; the core never calls these itself, it is handed what they make.
#pragma once

#include <memory>

#include "host/change_log.h"
#include "host/command_console.h"
#include "host/host.h"

namespace norvane::host {

// The running platform and version.
os_version query_os_version();

// The program's file component; throws host_error(429) when it cannot be created.
std::unique_ptr<file_system> create_file_system();

// The shell: command scripts and addresses.
std::unique_ptr<shell> create_shell();

// Reads back what a network connection's IPv4 settings are now.
std::unique_ptr<network_settings> create_network_settings();

// The clock and the pause for waiting on the system.
std::unique_ptr<waiter> create_waiter();

// The record of changes in the user's folder for it. Never fails here: a log that cannot be
// written fails its append.
std::unique_ptr<change_log> create_change_log();

// Standard output and error for a command of the command line; what the programs it starts
// print does not mix with its own.
std::unique_ptr<command_console> create_command_console();

}  // namespace norvane::host
