// Where a command of the command line writes its text (UTF-8 in memory): standard output and
// standard error as the platform gives them to a program started from a terminal or a script.
#pragma once

#include <string>

namespace norvane::host {

class command_console {
  public:
    virtual ~command_console() = default;
    virtual void out(const std::string& text) = 0;
    virtual void err(const std::string& text) = 0;
    // What could be written nowhere (a program with neither handles nor a console to attach
    // to), for the caller to show another way; "" when everything was written.
    virtual std::string unwritten() const { return ""; }
};

}  // namespace norvane::host
