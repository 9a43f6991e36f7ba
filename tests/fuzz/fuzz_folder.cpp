#include "fuzz_folder.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace norvane::fuzzing {

void enter_fuzz_folder() {
    static const bool entered = [] {
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                               ? "/dev/shm"
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "norvane-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        std::filesystem::current_path(pattern);
        return true;
    }();
    (void)entered;
}

void expect(bool ok, const char* what, const std::string& detail) {
    if (!ok) {
        std::fprintf(stderr, "%s: [", what);
        for (const unsigned char byte : detail) {
            std::fprintf(stderr, byte >= 0x20 && byte < 0x7F ? "%c" : "\\x%02X", byte);
        }
        std::fprintf(stderr, "]\n");
        std::abort();
    }
}

}  // namespace norvane::fuzzing
