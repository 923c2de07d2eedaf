#pragma once
// Turns the text of a listing page into listing rows and resource ids.

#include <functional>
#include <string>
#include <string_view>

namespace quorvelv {

struct listing_row {
    std::string name, size, password, link;
};

struct listing_item {
    listing_row row;
    std::string resource_id;
};

struct parser_config {            // the texts of the main window's configuration edit boxes
    std::string section_start;    // 编辑框3
    std::string section_end;      // 编辑框4
    std::string item_pattern;     // 编辑框2
    std::string size_marker;      // 编辑框5
    std::string password_marker;  // 编辑框9
    std::string link_marker;      // 编辑框10
    std::string id_marker;        // 编辑框8
};

parser_config default_parser_config();  // the boxes' initial texts as GBK bytes, byte for byte

void parse_listing_page(std::string_view page, const parser_config& config,
                        const std::function<void(const listing_item&)>& on_item);

}  // namespace quorvelv
