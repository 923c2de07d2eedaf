#pragma once
// What activating a listing row does to a cell's text before use.

#include <string>
#include <string_view>

namespace quorvelv {

// Removes every CR LF pair, scanning from the left; a double-byte GBK character is stepped over whole, so its
// bytes never take part in a pair. A lone CR or a lone LF stays.
std::string remove_line_break_pairs(std::string_view text);

}  // namespace quorvelv
