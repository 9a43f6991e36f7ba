// The shell on this host. A command script runs in the program's own command interpreter,
// norvane-cmd, which lives beside the program; anything else (a web address, a "mailto:"
// address) goes to the desktop's opener, xdg-open.
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "host/host.h"
#include "host/posix/spawn.h"

namespace norvane::host {
namespace {

constexpr std::uint32_t wait_failed = 0xFFFFFFFFu;
constexpr std::uint32_t wait_timeout = 0x102u;

bool ends_with_ignoring_case(const std::string& text, const std::string& ending) {
    if (text.size() < ending.size()) {
        return false;
    }
    for (std::size_t i = 0; i < ending.size(); ++i) {
        char c = text[text.size() - ending.size() + i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != ending[i]) {
            return false;
        }
    }
    return true;
}

bool is_command_script(const std::string& file) {
    return ends_with_ignoring_case(file, ".cmd") || ends_with_ignoring_case(file, ".bat");
}

// NORVANE_CMD when set, otherwise norvane-cmd in the directory of the running program.
std::string interpreter_path() {
    if (const char* chosen = std::getenv("NORVANE_CMD"); chosen != nullptr && *chosen != '\0') {
        return chosen;
    }
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return "";
    }
    return (self.parent_path() / "norvane-cmd").string();
}

// Waits for the end of a child the shell no longer holds a handle for, so that it does not
// stay behind as a zombie.
void reap_in_background(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

// Starts a program in a session of its own (no controlling terminal), stdin from /dev/null,
// stdout and stderr shared with the program. 0 when it could not be started.
pid_t start_detached(const std::vector<std::string>& arguments,
                     const std::optional<std::string>& directory, bool search_path) {
    pid_t pid = 0;
    const spawn_options options{
        .search_path = search_path, .new_session = true, .directory = directory.value_or("")};
    return spawn_program(arguments, options, pid) == 0 ? pid : 0;
}

class posix_shell : public shell {
  public:
    int ShellExecuteEx(shell_execute_info& info) override {
        info.hProcess = 0;
        if (info.lpFile.empty()) {
            return 0;
        }
        if (!is_command_script(info.lpFile)) {
            // The opener hands the target to the desktop and is not waited for.
            const pid_t pid = start_detached({"xdg-open", info.lpFile}, info.lpDirectory, true);
            if (pid == 0) {
                return 0;
            }
            reap_in_background(pid);
            return 1;
        }

        const std::string interpreter = interpreter_path();
        if (interpreter.empty()) {
            return 0;
        }
        const pid_t pid = start_detached({interpreter, info.lpFile}, info.lpDirectory, false);
        if (pid == 0) {
            return 0;
        }
        if ((info.fMask & see_mask_nocloseprocess) == 0) {
            reap_in_background(pid);
            return 1;
        }
        std::lock_guard lock(mutex_);
        next_handle_ += 4;
        processes_[next_handle_] = {pid, false};
        info.hProcess = next_handle_;
        return 1;
    }

    std::uint32_t WaitForSingleObject(process_handle process, std::uint32_t timeout) override {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
        pid_t pid = 0;
        {
            std::lock_guard lock(mutex_);
            const auto found = processes_.find(process);
            if (found == processes_.end()) {
                return wait_failed;
            }
            if (found->second.ended) {
                return wait_object_0;  // an ended process stays signalled
            }
            pid = found->second.pid;
        }

        for (;;) {
            int status = 0;
            const pid_t waited = waitpid(pid, &status, timeout == infinite ? 0 : WNOHANG);
            if (waited == pid) {
                std::lock_guard lock(mutex_);
                if (const auto found = processes_.find(process); found != processes_.end()) {
                    found->second.ended = true;
                }
                return wait_object_0;
            }
            if (waited < 0 && errno != EINTR) {
                return wait_failed;
            }
            if (waited == 0) {
                const auto now = std::chrono::steady_clock::now();
                if (now >= deadline) {
                    return wait_timeout;
                }
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
                std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
            }
        }
    }

    bool CloseHandle(process_handle process) override {
        std::lock_guard lock(mutex_);
        const auto found = processes_.find(process);
        if (found == processes_.end()) {
            return false;
        }
        if (!found->second.ended) {
            reap_in_background(found->second.pid);  // it runs on without its handle
        }
        processes_.erase(found);
        return true;
    }

  private:
    struct child {
        pid_t pid;
        bool ended;
    };

    std::mutex mutex_;
    process_handle next_handle_ = 0x100;
    std::map<process_handle, child> processes_;
};

}  // namespace

std::unique_ptr<shell> create_shell() {
    return std::make_unique<posix_shell>();
}

}  // namespace norvane::host
