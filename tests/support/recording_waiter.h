// A waiter whose clock moves only when the program pauses (and by what each read of the
// settings is said to take), and which records every pause.
#pragma once

#include <cstdint>
#include <vector>

#include "host/host.h"

namespace norvane::testing {

struct recording_waiter : host::waiter {
    std::uint64_t now = 1000;
    std::vector<unsigned> pauses;

    std::uint64_t milliseconds() override { return now; }
    void pause(unsigned milliseconds) override {
        pauses.push_back(milliseconds);
        now += milliseconds;
    }
};

}  // namespace norvane::testing
