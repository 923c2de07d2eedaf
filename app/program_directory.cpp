#include "app/program_directory.hpp"

#include <filesystem>
#include <system_error>

namespace quorvelv {
namespace {

std::string& directory_value() {
    static std::string value;
    return value;
}

}  // namespace

std::string program_directory_of(std::string_view executable_path) {
    const auto slash = executable_path.rfind('/');
    if (slash == std::string_view::npos) return {};
    return std::string(executable_path.substr(0, slash));
}

void determine_program_directory() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    directory_value() = error ? std::string() : program_directory_of(executable.string());
}

const std::string& program_directory() { return directory_value(); }

void set_program_directory_for_tests(std::string directory) { directory_value() = std::move(directory); }

}  // namespace quorvelv
