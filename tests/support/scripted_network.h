// A network whose connection settings change when a script runs, as the test scripts them, and
// a change log kept in memory.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "host/change_log.h"
#include "host/cp932.h"
#include "host/host.h"
#include "support/recording_shell.h"
#include "support/temp_dir.h"

namespace norvane::testing {

struct scripted_network : host::network_settings {
    host::ipv4_settings current;                 // what a read gives now
    std::deque<host::ipv4_settings> after_runs;  // what each run leaves, in turn
    std::vector<std::string> asked;              // the connections read, in order
    std::vector<std::string> scripts;            // each run's script, as text

    // Lets the shell's runs change the settings and record the scripts.
    void attach(recording_shell& shell) {
        shell.on_run = [this](const std::string& file) {
            scripts.push_back(host::from_cp932(read_bytes(file)));
            if (!after_runs.empty()) {
                current = after_runs.front();
                after_runs.pop_front();
            }
        };
    }
    host::ipv4_settings read_ipv4(const std::string& connection_name) override {
        asked.push_back(connection_name);
        return current;
    }
};

// Settings found on a connection in use.
inline host::ipv4_settings found_static(const std::string& ip, const std::string& mask,
                                        const std::string& gateway,
                                        std::vector<std::string> dns = {}) {
    host::ipv4_settings settings;
    settings.result = host::ipv4_settings::lookup::found;
    settings.addresses = {{ip, mask}};
    settings.gateway = gateway;
    settings.dns = std::move(dns);
    return settings;
}

inline host::ipv4_settings found_dhcp(const std::string& ip = "192.168.0.120") {
    host::ipv4_settings settings = found_static(ip, "255.255.255.0", "192.168.0.1");
    settings.dhcp = true;
    return settings;
}

struct memory_change_log : host::change_log {
    std::vector<std::string> records;
    bool failing = false;

    std::string local_time() override { return "2026-12-07 21:57:27 +0900"; }
    void append(const std::string& record) override {
        if (failing) {
            throw host::host_error(host::disk_full);
        }
        records.push_back(record);
    }
    std::string location() override { return "/home/user/.local/state/norvane/changes.log"; }
};

}  // namespace norvane::testing
