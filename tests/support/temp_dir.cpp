#include "support/temp_dir.h"

#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace norvane::testing {

namespace {

// A new directory of a name nobody has taken, made without mkdtemp (which Windows lacks).
std::filesystem::path make_unique_directory() {
    std::mt19937_64 random(
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = std::filesystem::temp_directory_path() /
                               ("norvane-test-" + std::to_string(random() % 100000000));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            return candidate;
        }
    }
    throw std::runtime_error("cannot make a temporary directory");
}

// Windows cannot delete a file with the read-only attribute: the owner's write bit is given
// back to everything first.
void make_removable(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    if (std::filesystem::is_directory(path, ignored)) {
        for (const auto& entry : std::filesystem::directory_iterator(path, ignored)) {
            make_removable(entry.path());
        }
    }
}

}  // namespace

temp_dir::temp_dir() : path_(make_unique_directory()), previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(path_);
}

temp_dir::~temp_dir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    make_removable(path_);
    std::filesystem::remove_all(path_, ignored);
}

std::string read_bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace norvane::testing
