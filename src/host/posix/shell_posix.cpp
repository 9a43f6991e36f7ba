// The shell on this host. A command script runs in the program's own command interpreter,
// norvane-cmd, which lives beside the program and reads the script through a descriptor it is
// handed; an address (a web address, a "mailto:" address) goes to the desktop's opener,
// xdg-open.
#include "host/posix/shell_posix.h"

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "host/platform.h"
#include "host/posix/process_runner.h"
#include "host/posix/spawn.h"

namespace norvane::host {
namespace {

// norvane-cmd in the directory of the running program ("" when that cannot be told).
std::string interpreter_beside_program() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return "";
    }
    return (self.parent_path() / "norvane-cmd").string();
}

// The last line of a text that is not blank, without its line end.
std::string last_line(const std::string& text) {
    std::size_t end = text.find_last_not_of("\r\n \t");
    if (end == std::string::npos) {
        return "";
    }
    const std::size_t begin = text.rfind('\n', end);
    return text.substr(begin == std::string::npos ? 0 : begin + 1,
                       end + 1 - (begin == std::string::npos ? 0 : begin + 1));
}

// Waits for the end of a child nobody waits for, so that it does not stay behind as a
// zombie.
void reap_in_background(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

// Starts a program in a session of its own (no controlling terminal, so nothing can show a
// window for it), stdin from /dev/null, stdout and stderr shared with the program, in the
// current folder. 0 when it could not be started.
pid_t start_detached(const std::vector<std::string>& arguments, bool search_path) {
    pid_t pid = 0;
    spawn_options options;
    options.search_path = search_path;
    options.new_session = true;
    return spawn_program(arguments, options, pid) == 0 ? pid : 0;
}

class posix_shell : public shell {
  public:
    posix_shell(std::string interpreter, std::string opener)
        : interpreter_(std::move(interpreter)), opener_(std::move(opener)) {}

    // The interpreter reads the script the program made through the descriptor it is handed,
    // whatever the script's name leads to by then; the name only stands in its messages. The
    // owner window has no part on this host: the interpreter shows no window. What it writes
    // is passed on to the program's own output; the last line it writes to stderr is the
    // reason of a failed run.
    script_run run_script(command_script& script, window_handle) override {
        script_run run;
        if (interpreter_.empty() || script.name().empty() || script.descriptor() < 0) {
            return run;
        }
        const process_result ended = run_process(
            {interpreter_, "--script-fd", std::to_string(handed_descriptor), script.name()},
            {.search_path = false, .new_session = true, .environment = {}},
            static_cast<int>(script.descriptor()));
        std::cout << ended.output << std::flush;
        std::cerr << ended.errors << std::flush;
        if (!ended.started) {
            return run;
        }
        if (ended.exit_status < 0) {
            run.result = script_run::status::wait_failed;
            return run;
        }
        run.result = script_run::status::finished;
        run.exit_status = ended.exit_status;
        if (run.exit_status != 0) {
            run.reason = last_line(ended.errors);
        }
        return run;
    }

    bool open_address(const std::string& target, window_handle) override {
        if (target.empty()) {
            return false;
        }
        // The opener hands the target to the desktop and is not waited for.
        const pid_t pid = start_detached({opener_, target}, true);
        if (pid == 0) {
            return false;
        }
        reap_in_background(pid);
        return true;
    }

  private:
    std::string interpreter_;
    std::string opener_;
};

}  // namespace

std::unique_ptr<shell> create_posix_shell(std::string interpreter, std::string opener) {
    return std::make_unique<posix_shell>(std::move(interpreter), std::move(opener));
}

std::unique_ptr<shell> create_shell() {
    return create_posix_shell(interpreter_beside_program());
}

}  // namespace norvane::host
