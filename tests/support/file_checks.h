// Checks shared by the file component's tests: the number a file operation fails with, the
// entries of a folder (a file's bytes: read_bytes in temp_dir.h).
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>

#include "host/host.h"
#include "support/temp_dir.h"

namespace norvane::testing {

// The number an operation fails with (0 when it does not), with the standard description.
inline int error_of(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const host::host_error& error) {
        EXPECT_TRUE(error.number() == 75 ||
                    error.description() == host::describe_error(error.number()));
        return error.number();
    }
    return 0;
}

inline std::ptrdiff_t entries(const std::filesystem::path& folder = ".") {
    return std::distance(std::filesystem::directory_iterator(folder),
                         std::filesystem::directory_iterator());
}

}  // namespace norvane::testing
