// Running programs with two pipes for what they write.
#include "host/posix/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "host/posix/spawn.h"

namespace norvane::host {
namespace {

class pipe_pair {
  public:
    pipe_pair() {
        if (pipe2(fds_, O_CLOEXEC) != 0) {
            fds_[0] = fds_[1] = -1;
        }
    }
    ~pipe_pair() {
        close_read();
        close_write();
    }
    pipe_pair(const pipe_pair&) = delete;
    pipe_pair& operator=(const pipe_pair&) = delete;

    bool ok() const { return fds_[0] >= 0; }
    int read_end() const { return fds_[0]; }
    int write_end() const { return fds_[1]; }
    void close_read() { close_fd(fds_[0]); }
    void close_write() { close_fd(fds_[1]); }

  private:
    static void close_fd(int& fd) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    int fds_[2];
};

// Reads both pipes until the program has closed them.
void collect(pipe_pair& out, pipe_pair& err, process_result& result) {
    pollfd fds[2] = {{out.read_end(), POLLIN, 0}, {err.read_end(), POLLIN, 0}};
    std::string* targets[2] = {&result.output, &result.errors};
    int open_pipes = 2;
    char buffer[4096];
    while (open_pipes > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                targets[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;  // poll skips negative descriptors
                --open_pipes;
            }
        }
    }
}

class process_runner : public command_runner {
  public:
    explicit process_runner(runner_options options) : options_(std::move(options)) {}

    process_result run(const std::vector<std::string>& arguments) override {
        return run_process(arguments, options_, -1);
    }

  private:
    runner_options options_;
};

}  // namespace

process_result run_process(const std::vector<std::string>& arguments, const runner_options& runner,
                           int handed) {
    process_result result;
    pipe_pair out;
    pipe_pair err;
    if (!out.ok() || !err.ok()) {
        result.start_error = errno;
        return result;
    }
    pid_t pid = 0;
    spawn_options options;
    options.search_path = runner.search_path;
    options.new_session = runner.new_session;
    options.environment = runner.environment;
    options.output = out.write_end();
    options.errors = err.write_end();
    options.handed = handed;
    const int spawn_error = spawn_program(arguments, options, pid);
    out.close_write();
    err.close_write();
    if (spawn_error != 0) {
        result.start_error = spawn_error;
        return result;
    }
    result.started = true;

    collect(out, err, result);

    int status = 0;
    pid_t waited = 0;
    do {
        waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited == pid) {
        if (WIFEXITED(status)) {
            result.exit_status = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            result.exit_status = 128 + WTERMSIG(status);
        }
    }
    return result;
}

std::unique_ptr<command_runner> create_process_runner(runner_options options) {
    return std::make_unique<process_runner>(std::move(options));
}

}  // namespace norvane::host
