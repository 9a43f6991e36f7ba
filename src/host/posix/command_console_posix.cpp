// Standard output and error of a command on Linux: UTF-8 as it stands. Standard output is the
// command's own: the programs a script starts (the interpreter, nmcli) get /dev/null in its
// place, so that what they print does not mix with the result; their diagnostics still reach
// standard error.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

#include "host/command_console.h"
#include "host/platform.h"

namespace norvane::host {
namespace {

class standard_output final : public command_console {
  public:
    standard_output() {
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        out_ = null < 0 ? -1 : ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        if (out_ < 0 || ::dup2(null, STDOUT_FILENO) < 0) {
            if (out_ >= 0) {
                ::close(out_);
            }
            out_ = STDOUT_FILENO;
        }
        if (null >= 0) {
            ::close(null);
        }
    }
    ~standard_output() override {
        if (out_ != STDOUT_FILENO) {
            ::dup2(out_, STDOUT_FILENO);
            ::close(out_);
        }
    }
    standard_output(const standard_output&) = delete;
    standard_output& operator=(const standard_output&) = delete;

    void out(const std::string& text) override { write(out_, text); }
    void err(const std::string& text) override { write(STDERR_FILENO, text); }

  private:
    static void write(int fd, const std::string& text) {
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return;  // a closed pipe: nobody reads the rest
            }
            done += static_cast<std::size_t>(n);
        }
    }

    int out_ = STDOUT_FILENO;
};

}  // namespace

std::unique_ptr<command_console> create_command_console() {
    return std::make_unique<standard_output>();
}

}  // namespace norvane::host
