// Start-up: the version check, the file component, the profile load and the main window.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "common/program_state.h"
#include "common/ui_services.h"
#include "host/host.h"

namespace norvane {

// Classifies the running system as the query reports it; writes its display name and
// returns whether the program runs on it.
bool get_os_name(std::string& os_name, const std::function<host::os_version()>& query);

// What start-up is handed by the program's entry point (or by a test).
struct startup_services {
    std::function<host::os_version()> query_version;
    std::function<std::unique_ptr<host::file_system>()> create_file_system;
    // Opens the main window, modeless, on the loaded state.
    std::function<void(program_state&)> show_main_form;
};

// The program's start. Returns once the main window is open, or after telling the user why
// the program cannot run (then no window is open).
void Main(program_state& state, ui_services& ui, const startup_services& services);

}  // namespace norvane
