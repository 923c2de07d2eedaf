#pragma once
// Conversions between the site's GBK texts and the UTF-8 of terminals and source files.

#include <optional>
#include <string>
#include <string_view>

namespace quorvelv {

// nullopt when the text is not valid UTF-8 or holds a character GBK lacks.
std::optional<std::string> gbk_from_utf8(std::string_view utf8);

// For showing stored texts on a terminal: bytes that are no GBK character come out as \xNN.
std::string utf8_for_display(std::string_view gbk);

}  // namespace quorvelv
