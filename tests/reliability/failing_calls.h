// Makes the nth system call of the file component fail (see failing_calls.cpp).
#pragma once

namespace norvane::testing {

struct failing_calls {
    static failing_calls& instance();
    bool fail_now();  // counts one call; true when it is the one to fail

    bool armed = false;
    int made = 0;     // calls counted since arming
    int fail_at = 0;  // 0: none fails
    int error = 0;    // the errno (or posix_fallocate's result) of the failing call
};

// Arms the calls for the length of a scope: counting, and failing the nth with error.
class failing_scope {
  public:
    failing_scope(int nth, int error) {
        auto& calls = failing_calls::instance();
        calls = {true, 0, nth, error};
    }
    ~failing_scope() { failing_calls::instance().armed = false; }
    failing_scope(const failing_scope&) = delete;
    failing_scope& operator=(const failing_scope&) = delete;
    int made() const { return failing_calls::instance().made; }
};

}  // namespace norvane::testing
