// Linux's code page 932 decoder, reached by the tests: the C library's converter run over the
// bytes, which the decoding table of from_cp932 is built from and must agree with everywhere.
#pragma once

#include <string>

namespace norvane::host {

// What from_cp932 gives, computed by the C library's converter over the whole text.
std::string from_cp932_by_converter(const std::string& bytes);

}  // namespace norvane::host
