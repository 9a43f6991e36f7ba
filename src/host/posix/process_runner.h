// Running a program with an argument array (never through a shell) and collecting what it
// writes.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace norvane::host {

struct process_result {
    bool started = false;
    int start_error = 0;   // errno when the program could not be started
    int exit_status = -1;  // the exit status, or 128 + the signal that ended it; -1 when its
                           // end could not be waited for
    std::string output;    // what it wrote to stdout
    std::string errors;    // what it wrote to stderr

    bool succeeded() const { return started && exit_status == 0; }
};

class command_runner {
  public:
    virtual ~command_runner() = default;
    // Runs arguments[0] with the arguments, stdin from /dev/null, and waits for its end.
    virtual process_result run(const std::vector<std::string>& arguments) = 0;
};

struct runner_options {
    bool search_path = true;   // arguments[0] is looked up in PATH
    bool new_session = false;  // in a session of its own, without a controlling terminal
    // "NAME=VALUE" settings that replace or join the caller's environment for the program.
    std::vector<std::string> environment;
};

std::unique_ptr<command_runner> create_process_runner(runner_options options = {});

// Runs arguments[0] as a runner made with options does, and hands it the open file handed
// (a descriptor) as descriptor number handed_descriptor (spawn.h); -1 hands it none.
process_result run_process(const std::vector<std::string>& arguments, const runner_options& options,
                           int handed);

}  // namespace norvane::host
