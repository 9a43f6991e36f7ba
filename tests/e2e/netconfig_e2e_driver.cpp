// Applies a profile through the program's own code, as Submit does: run_network_script with
// the real file component and shell, so the script goes through norvane-cmd (found beside
// this program) and nmcli to NetworkManager, then the settings read back from NetworkManager
// (until they show, as Submit waits for them) and compared. Run by nm_sandbox.sh inside the client
// network namespace.
//
// Usage: netconfig_e2e_driver static|other|dhcp|missing
//   static   192.0.2.10 / 255.255.255.0, gateway 192.0.2.1, DNS 192.0.2.53, .54, .55
//   other    the same with the address 192.0.2.30
//   dhcp     address and DNS from DHCP; a script a failed earlier run left behind (for a
//            connection that does not exist) is already there and must not run again
//   missing  the static profile for a connection name that does not exist
// Prints the message box Submit would show, as "TITLE (STYLE) TEXT"; exit status 0 for an
// information box, 3 for an error box, 1 when the driver itself failed.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>

#include "host/host.h"
#include "host/platform.h"
#include "netconfig/network_script.h"
#include "netconfig/settings_check.h"
#include "profiles/profile_record.h"

namespace {

norvane::profile_record static_profile(const std::string& address) {
    return {"e2e static",    "ローカル エリア接続", address,
            "255.255.255.0", "192.0.2.1",           "192.0.2.53",
            "192.0.2.54",    "192.0.2.55",          "0"};
}

norvane::profile_record dhcp_profile() {
    return {"e2e dhcp", "ローカル エリア接続", "", "", "", "", "", "", "1"};
}

int apply(const std::string& mode) {
    auto files = norvane::host::create_file_system();
    auto shell = norvane::host::create_shell();
    norvane::profile_record profile;
    if (mode == "static") {
        profile = static_profile("192.0.2.10");
    } else if (mode == "other") {
        profile = static_profile("192.0.2.30");
    } else if (mode == "dhcp") {
        profile = dhcp_profile();
        auto leftover_profile = static_profile("192.0.2.20");
        leftover_profile.connect_name = "残された接続";
        auto leftover =
            files->open_text_file(norvane::script_file_name, norvane::host::for_writing, true);
        for (const std::string& line : norvane::build_script_lines(leftover_profile)) {
            if (!line.empty()) {
                leftover->write_line(line);
            }
        }
        leftover->close();
    } else if (mode == "missing") {
        profile = static_profile("192.0.2.10");
        profile.connect_name = "存在しない接続";
    } else {
        std::cerr << "usage: netconfig_e2e_driver static|other|dhcp|missing\n";
        return 2;
    }

    const auto run = norvane::run_network_script(profile, 0, *files, *shell);
    if (run.result != norvane::network_run::status::finished) {
        std::cerr << "run_network_script failed: " << run.reason << "\n";
        return 1;
    }
    if (std::filesystem::exists(norvane::script_file_name)) {
        std::cerr << norvane::script_file_name << " was not deleted\n";
        return 1;
    }
    const auto settings = norvane::host::create_network_settings();
    const auto waiter = norvane::host::create_waiter();
    const auto report = norvane::submit_report(
        profile, run, norvane::read_back_settings(profile, run, *settings, *waiter));
    std::cout << report.title << " (" << report.style << ") " << report.text << "\n";
    return report.style == norvane::mb_information ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: netconfig_e2e_driver static|other|dhcp|missing\n";
        return 2;
    }
    // The script is written to the current directory: make that a fresh one.
    std::string pattern = (std::filesystem::temp_directory_path() / "norvane-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) {
        std::cerr << "cannot make a temporary directory\n";
        return 1;
    }
    int status = 1;
    try {
        status = apply(argv[1]);
    } catch (const std::exception& failure) {
        std::cerr << "failure: " << failure.what() << "\n";
    }
    std::error_code ignored;
    std::filesystem::current_path("/", ignored);
    std::filesystem::remove_all(pattern, ignored);
    return status;
}
