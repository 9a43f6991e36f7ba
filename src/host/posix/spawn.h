// Starting a program on this host with an argument array, never through a shell: used by the
// shell for the command interpreter and the desktop's opener, and by the command interpreter
// for nmcli.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace norvane::host {

// The number a descriptor handed to a started program has in it.
inline constexpr int handed_descriptor = 3;

struct spawn_options {
    bool search_path = false;  // look arguments[0] up in PATH
    bool new_session = false;  // a session of its own, without a controlling terminal
    int output = -1;           // the descriptor that becomes its stdout; -1 for the caller's
    int errors = -1;           // the same for its stderr
    int handed = -1;           // a descriptor it gets as handed_descriptor; -1 for none
    // "NAME=VALUE" settings that replace or join the caller's environment.
    std::vector<std::string> environment;
};

// Starts arguments[0] with the arguments and the caller's environment (with the options'
// settings), stdin from /dev/null.
// 0 with pid set when it started; otherwise the error number.
int spawn_program(const std::vector<std::string>& arguments, const spawn_options& options,
                  pid_t& pid);

}  // namespace norvane::host
