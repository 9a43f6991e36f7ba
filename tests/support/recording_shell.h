// A shell that records what it was asked to do and answers as a test tells it to.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/host.h"

namespace norvane::testing {

class recording_shell : public host::shell {
  public:
    struct request {
        std::string target;  // the script file or the address
        host::window_handle owner = 0;
        bool operator==(const request&) const = default;
    };

    host::script_run run_script(host::command_script& script, host::window_handle owner) override {
        scripts.push_back({script.name(), owner});
        if (on_run) {
            on_run(script.name());
        }
        return script_result;
    }
    bool open_address(const std::string& target, host::window_handle owner) override {
        addresses.push_back({target, owner});
        return open_result;
    }

    host::script_run script_result{host::script_run::status::finished, 0, ""};
    bool open_result = true;
    std::function<void(const std::string&)> on_run;  // runs while the script "runs"
    std::vector<request> scripts;
    std::vector<request> addresses;
};

}  // namespace norvane::testing
