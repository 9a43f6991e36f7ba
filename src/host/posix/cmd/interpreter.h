// The command interpreter: runs a command script line by line as the Windows command
// interpreter would, carrying netsh's commands out through nmcli.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "host/posix/process_runner.h"

namespace norvane::cmd {

using host::command_runner;
using host::process_result;

class interpreter {
  public:
    // Output goes to out (echo), messages about failures to err. The prompt stands before an
    // echoed line ("/home/user>").
    interpreter(command_runner& runner, std::ostream& out, std::ostream& err, std::string prompt);

    // Runs a script given as its code page 932 bytes. 0 when every line went well; 1 when a
    // line failed: the script stops there, and the last line written to err says why.
    int run_bytes(const std::string& bytes);

    // The same for a script already decoded to UTF-8.
    int run_text(const std::string& text);

  private:
    void run_line(const std::string& line);
    void run_netsh(const std::vector<std::string>& words);
    // Runs one nmcli call for a connection; on failure reports it and returns false.
    bool call(const std::vector<std::string>& arguments, std::string* output,
              const std::string& connection);

    command_runner& runner_;
    std::ostream& out_;
    std::ostream& err_;
    std::string prompt_;
    bool echo_ = true;
    bool failed_ = false;
    std::vector<std::string> changed_connections_;  // in the order of their first change
};

}  // namespace norvane::cmd
