#pragma once
// The initial texts of the main window's configuration edit boxes, as GBK bytes. The parser's boxes are
// gathered in default_parser_config() (listing/parser.hpp); these two are carried by the window but read by
// nothing.

#include <string>

namespace quorvelv {

std::string default_box6_text();  // 编辑框6
std::string default_box7_text();  // 编辑框7

}  // namespace quorvelv
