#include "resources/carried.hpp"

#include <cstddef>

namespace quorvelv {
namespace embedded {
// Defined by the sources that the build generates from the engine's file and the skin files.
extern const std::size_t engine_count;
extern const unsigned char* const engine_data[];
extern const std::size_t engine_size[];
extern const std::size_t skins_count;
extern const unsigned char* const skins_data[];
extern const std::size_t skins_size[];
}  // namespace embedded

std::string_view engine_library_image() {
    return {reinterpret_cast<const char*>(embedded::engine_data[0]), embedded::engine_size[0]};
}

std::string_view skin_image(std::int32_t number) {
    if (number < 1 || number > skin_count || static_cast<std::size_t>(number) > embedded::skins_count) return {};
    const auto index = static_cast<std::size_t>(number - 1);
    return {reinterpret_cast<const char*>(embedded::skins_data[index]), embedded::skins_size[index]};
}

}  // namespace quorvelv
