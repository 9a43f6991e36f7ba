// Waiting on Windows: GetTickCount, whose 32 bits wrap after about 49 days, carried on in 64
// bits; Sleep.
#include <windows.h>

#include "host/platform.h"

namespace norvane::host {
namespace {

class win32_waiter : public waiter {
  public:
    std::uint64_t milliseconds() override {
        const DWORD now = GetTickCount();
        total_ += static_cast<DWORD>(now - last_);  // unsigned: right across the wrap
        last_ = now;
        return total_;
    }

    void pause(unsigned milliseconds) override { Sleep(milliseconds); }

  private:
    DWORD last_ = GetTickCount();
    std::uint64_t total_ = 0;
};

}  // namespace

std::unique_ptr<waiter> create_waiter() {
    return std::make_unique<win32_waiter>();
}

}  // namespace norvane::host
