// The fuzz targets that use files work in a fresh folder of their own, on /dev/shm where
// there is one (flushing a file to disk there costs nothing).
#pragma once

#include <string>

#include "support/temp_dir.h"  // read_bytes, write_bytes

namespace norvane::fuzzing {

// Makes the folder the current directory, once.
void enter_fuzz_folder();

// Stops the run with what went wrong and the text it went wrong with, when ok is false.
void expect(bool ok, const char* what, const std::string& detail = "");

}  // namespace norvane::fuzzing
