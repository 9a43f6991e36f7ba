// The command line: what the arguments ask for, and each command carried out with the host's
// services, its texts written to the caller's output. The window starts for no arguments and
// for any argument that is no option of the program (a toolkit's own option, a file).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/change_log.h"
#include "host/command_console.h"
#include "host/host.h"

namespace norvane {

// The exit statuses of the commands.
inline constexpr int exit_done = 0;
inline constexpr int exit_failed = 1;   // a run failed, the settings differ, a file failed
inline constexpr int exit_refused = 2;  // no such profile, a name refused, wrong arguments
inline constexpr int exit_stored = 3;   // stored as asked; the connection is not connected

struct command_line {
    enum class action { window, list, apply, show, capture, help, version, usage_error };
    action what = action::window;
    std::string name;        // --apply's and --capture's profile name
    std::string connection;  // --show's and --capture's connection name
    bool restore_on_failure = false;
};

// Reads the arguments (without the program's own name). An argument that starts with "--"
// (with windows_switches also "/", and then in any case) makes it a command, which must then
// be one of the program's in full; anything else starts the window.
command_line parse_command_line(const std::vector<std::string>& arguments, bool windows_switches);

// The arguments of a Windows command line as the C runtime splits them: blanks separate,
// double quotes group, backslashes escape a quote only in front of one.
std::vector<std::string> split_windows_command_line(const std::string& line);

// The help text; with windows_switches it says that "/" serves as well.
std::string usage_text(bool windows_switches);

// Where a command's text goes: out for its result, err for what went wrong. Texts are UTF-8
// lines, each ending in "\n".
using command_output = host::command_console;

// What a command is carried out with.
struct command_services {
    std::function<host::os_version()> query_version;
    std::function<std::unique_ptr<host::file_system>()> create_file_system;
    host::shell* shell = nullptr;
    host::network_settings* reader = nullptr;
    host::waiter* waiter = nullptr;
    host::change_log* log = nullptr;
    bool windows_switches = false;
};

// Carries out a command (not action::window) and returns its exit status.
int run_command(const command_line& command, const command_services& services,
                command_output& output);

}  // namespace norvane
