// The command interpreter: runs a command script line by line as the Windows command
// interpreter would, carrying netsh's commands out through nmcli.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/posix/cmd/nmcli_calls.h"
#include "host/posix/process_runner.h"

namespace norvane::cmd {

using host::command_runner;
using host::process_result;

// Whether a connection's profile holds routes besides default routes; nothing when that is
// not known.
using routes_probe = std::function<std::optional<bool>(const std::string& connection)>;

class interpreter {
  public:
    // Output goes to out (echo), messages about failures to err. The prompt stands before an
    // echoed line ("/home/user>"). nmcli is the program the runner starts for each nmcli call
    // (its full path: nmcli_program()). Where other_routes says a profile holds no route but
    // default routes, its routes are not asked of nmcli before an address command.
    interpreter(command_runner& runner, std::ostream& out, std::ostream& err, std::string prompt,
                std::string nmcli, routes_probe other_routes = {});

    // Runs a script given as its code page 932 bytes. 0 when every line went well; 1 when a
    // line failed: the script stops there, and the last line written to err says why.
    int run_bytes(const std::string& bytes);

    // The same for a script already decoded to UTF-8.
    int run_text(const std::string& text);

  private:
    // What the script's lines change in one connection, made when the lines have run.
    struct connection_changes {
        std::string name;
        property_list properties;
        bool routes_read = false;
        std::string routes;  // its ipv4.routes before the script, once read
    };

    void run_line(const std::string& line);
    void run_netsh(const std::vector<std::string>& words);
    connection_changes& changes_of(const std::string& connection);
    // Saves what the lines have gathered, one modify call per connection; false after a
    // failure.
    bool save_changes();
    // Runs one nmcli call for a connection; on failure reports it and returns false.
    bool call(const std::vector<std::string>& arguments, std::string* output,
              const std::string& connection);
    void fail(const std::string& reason);

    command_runner& runner_;
    std::ostream& out_;
    std::ostream& err_;
    std::string prompt_;
    std::string nmcli_;
    routes_probe other_routes_;
    bool echo_ = true;
    bool failed_ = false;
    std::string reason_;                       // why the script stopped, for err's last line
    std::vector<connection_changes> changes_;  // in the order of their first change
};

}  // namespace norvane::cmd
