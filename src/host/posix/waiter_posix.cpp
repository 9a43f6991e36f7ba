// Waiting on Linux: the monotonic clock and nanosleep.
#include <time.h>

#include <cerrno>

#include "host/platform.h"

namespace norvane::host {
namespace {

class posix_waiter : public waiter {
  public:
    std::uint64_t milliseconds() override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::uint64_t>(now.tv_sec) * 1000 +
               static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
    }

    void pause(unsigned milliseconds) override {
        timespec rest{static_cast<time_t>(milliseconds / 1000),
                      static_cast<long>(milliseconds % 1000) * 1000000L};
        while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
        }
    }
};

}  // namespace

std::unique_ptr<waiter> create_waiter() {
    return std::make_unique<posix_waiter>();
}

}  // namespace norvane::host
