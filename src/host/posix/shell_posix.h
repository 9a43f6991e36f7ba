// The shell of this host, with the programs it starts named: the program itself uses the
// command interpreter beside its own executable and the desktop's opener; tests name their
// own stand-ins.
#pragma once

#include <memory>
#include <string>

#include "host/host.h"

namespace norvane::host {

// interpreter: the program that runs a command script, started as
// "interpreter --script-fd 3 NAME" with the script open as descriptor 3, which is what it runs
// (NAME only names it in messages). opener: looked up in PATH, given the address as its one
// argument.
std::unique_ptr<shell> create_posix_shell(std::string interpreter, std::string opener = "xdg-open");

}  // namespace norvane::host
