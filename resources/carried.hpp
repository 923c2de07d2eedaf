#pragma once
// The data the program carries inside itself: the skin engine library and the 56 skins, embedded at build time.

#include <cstdint>
#include <string_view>

namespace quorvelv {

// The bytes of the skin engine library "hrttp.dll" exactly as this build made it.
std::string_view engine_library_image();

inline constexpr std::int32_t skin_count = 56;

// The bytes of skin `number` (1 to 56); empty for any other number.
std::string_view skin_image(std::int32_t number);

}  // namespace quorvelv
