// The program-wide state shared by the window's reactions.
#pragma once

#include <memory>

#include "host/change_log.h"
#include "host/host.h"
#include "profiles/profile_record.h"

namespace norvane {

struct program_state {
    // The one file component; every file access goes through it. Empty until start-up
    // creates it and after the main window has released it.
    std::unique_ptr<host::file_system> file_system;
    profile_table table;
    // Reads a connection's settings back after Submit; empty where the platform cannot.
    std::unique_ptr<host::network_settings> network_settings;
    // The clock and pause for waiting until read-back settings show; set with the reader.
    std::unique_ptr<host::waiter> waiter;
    // The record of every change Submit makes; empty where none is kept.
    std::unique_ptr<host::change_log> change_log;
};

// Frees the file component; called when the main window unloads.
void release_file_system(program_state& state);

}  // namespace norvane
