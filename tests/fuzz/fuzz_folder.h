// The fuzz targets that use files work in a fresh folder of their own, on /dev/shm where
// there is one (flushing a file to disk there costs nothing).
#pragma once

#include <string>

namespace norvane::fuzzing {

// Makes the folder the current directory, once.
void enter_fuzz_folder();

// Stops the run with what went wrong and the text it went wrong with, when ok is false.
void expect(bool ok, const char* what, const std::string& detail = "");

// The bytes of a file ("" when it is missing), and writing them.
std::string read_file(const char* name);
void write_file(const char* name, const std::string& bytes);

}  // namespace norvane::fuzzing
