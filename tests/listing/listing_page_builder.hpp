#pragma once
// Listing pages in the site's exact layout, for tests and benchmarks: item blocks, whole pages with their
// chrome, and the hostile shapes that never complete an item. All texts are GBK bytes.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "listing/parser.hpp"

namespace quorvelv::fixtures {

struct page_item {
    std::string id;        // the pid in the item's addresses
    std::string type;      // the label in the title box's <span>
    std::string name;
    std::string size;      // digits, the page adds "MB"
    std::string date;
    std::string password;
    std::string link;
};

// UTF-8 to GBK through iconv; throws std::runtime_error when a character has no GBK form.
std::string to_gbk(std::string_view utf8);
std::string to_utf8(std::string_view gbk);

// A realistic item with a Chinese name; index picks the name, size and so on, and the id is 10000 + index.
page_item sample_item(std::size_t index);
std::vector<page_item> sample_items(std::size_t count);
// Items of page p carry ids "p_i" and passwords "pw p_i", so that a row tells which page it came from.
std::vector<page_item> items_of_page(int page, std::size_t count);

// One item block: <div class="lby">, the anchor, the five boxes with the pattern's line breaks, and the
// trailing anchor to the resource's page where the next item's match begins.
std::string item_block(const page_item& item);

// Page chrome, the section start marker, the blocks, the section end marker and the pager.
std::string listing_page(const std::vector<page_item>& items);
std::string listing_page_of(std::size_t count);

// What the parser yields for an item of these pages: the name ends in CR LF, password and link begin with
// it, the size carries "MB".
listing_item expected_item(const page_item& item);

// Hostile sections of about `bytes` bytes in an otherwise valid page; none completes an item.
// One item start, then the title box's opening followed by "x", over and over.
std::string unfinished_item_page(std::size_t bytes);
// Nothing but "<a href=\"" over and over.
std::string anchor_flood_page(std::size_t bytes);
// Whole item blocks, each without its hidden link box.
std::string linkless_items_page(std::size_t bytes);

}  // namespace quorvelv::fixtures
