// A shell that records its launches and answers as a test tells it to.
#pragma once

#include <functional>
#include <vector>

#include "host/host.h"

namespace norvane::testing {

class recording_shell : public host::shell {
  public:
    int ShellExecuteEx(host::shell_execute_info& info) override {
        launches.push_back(info);
        if (on_execute) {
            on_execute(info);
        }
        if (execute_result != 0) {
            info.hProcess = 77;
        }
        return execute_result;
    }
    std::uint32_t WaitForSingleObject(host::process_handle process,
                                      std::uint32_t timeout) override {
        waits.push_back({process, timeout});
        return wait_result;
    }
    bool CloseHandle(host::process_handle process) override {
        closed.push_back(process);
        return true;
    }

    int execute_result = 1;
    std::uint32_t wait_result = host::wait_object_0;
    std::function<void(const host::shell_execute_info&)> on_execute;
    std::vector<host::shell_execute_info> launches;
    std::vector<std::pair<host::process_handle, std::uint32_t>> waits;
    std::vector<host::process_handle> closed;
};

}  // namespace norvane::testing
