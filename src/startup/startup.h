// Start-up: the version check, the file component, the profile load and the main window.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "host/host.h"
#include "startup/program_state.h"
#include "ui/main_window/ui_services.h"

namespace norvane {

// Classifies the running system; writes its display name and returns whether the program
// runs on it. The query is the host's version query, or a stand-in in tests.
bool get_os_name(std::string& os_name,
                 const std::function<void(host::os_version_info&)>& query = host::query_os_version);

struct startup_services {
    std::function<void(host::os_version_info&)> query_version = host::query_os_version;
    std::function<std::unique_ptr<host::file_system>()> create_file_system =
        host::create_file_system;
    // Opens the main window, modeless, on the loaded state.
    std::function<void(program_state&)> show_main_form;
};

// The program's start. Returns once the main window is open, or after telling the user why
// the program cannot run (then no window is open).
void Main(program_state& state, ui_services& ui, const startup_services& services);

}  // namespace norvane
