#pragma once
// The directory that holds the program's own file, without a trailing separator.

#include <string>
#include <string_view>

namespace quorvelv {

// The executable's path cut before its last "/": "/opt/q/quorvelv" gives "/opt/q", "/quorvelv" gives "".
std::string program_directory_of(std::string_view executable_path);

// Determined once at start from the running executable, then fixed for the run.
void determine_program_directory();
const std::string& program_directory();

// Tests only: make program_directory() answer with the given directory.
void set_program_directory_for_tests(std::string directory);

}  // namespace quorvelv
