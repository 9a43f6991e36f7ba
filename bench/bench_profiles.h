// The profile.dat the benchmarks measure: n profiles in code page 932, about 100 bytes a line,
// Japanese names that differ only in their last digits.
#pragma once

#include <cstdio>
#include <string>

#include "host/cp932.h"

namespace norvane::bench {

inline std::string name_of(int i) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%06d", i);
    return std::string("プロファイル") + digits;
}

inline std::string profile_file(int n) {
    std::string bytes;
    for (int i = 0; i < n; ++i) {
        const std::string line = name_of(i) + ",ローカル エリア接続,192.168.1." +
                                 std::to_string(i % 250 + 2) +
                                 ",255.255.255.0,192.168.1.1,192.168.1.1,8.8.8.8,,0";
        bytes += host::to_cp932(line) + "\r\n";
    }
    return bytes;
}

}  // namespace norvane::bench
