// Starting programs with posix_spawn.
#include "host/posix/spawn.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

extern char** environ;

namespace norvane::host {

int spawn_program(const std::vector<std::string>& arguments, const spawn_options& options,
                  pid_t& pid) {
    if (arguments.empty()) {
        return EINVAL;
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    // The caller's environment without the variables the options set, then those.
    std::vector<char*> envp;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view setting(*entry);
        const bool replaced = std::any_of(
            options.environment.begin(), options.environment.end(), [&](const std::string& own) {
                const std::size_t equals = own.find('=');
                return setting.substr(0, setting.find('=')) == own.substr(0, equals);
            });
        if (!replaced) {
            envp.push_back(*entry);
        }
    }
    for (const std::string& own : options.environment) {
        envp.push_back(const_cast<char*>(own.c_str()));
    }
    envp.push_back(nullptr);

    // The handed descriptor is copied above the numbers the actions below write to, so that
    // none of them closes it first and its copy is never the number it goes to (a dup2 onto
    // itself would leave it closed on exec).
    int handed = -1;
    if (options.handed >= 0) {
        handed = ::fcntl(options.handed, F_DUPFD_CLOEXEC, handed_descriptor + 1);
        if (handed < 0) {
            return errno;
        }
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (options.output >= 0) {
        posix_spawn_file_actions_adddup2(&actions, options.output, 1);
    }
    if (options.errors >= 0) {
        posix_spawn_file_actions_adddup2(&actions, options.errors, 2);
    }
    if (handed >= 0) {
        posix_spawn_file_actions_adddup2(&actions, handed, handed_descriptor);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (options.new_session) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    }

    const int error =
        options.search_path
            ? posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data())
            : posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (handed >= 0) {
        ::close(handed);
    }
    return error;
}

}  // namespace norvane::host
