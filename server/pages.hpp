#pragma once
// The site's pages, as GBK bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/store.hpp"

namespace quorvelv {

// Appends a submitted text to a page: "<", ">", "\"" and "&" as entities, control bytes as blanks, and a byte
// that does not start a complete GBK character as "?". So a value can neither open markup nor, by ending in a
// lead byte, swallow the first byte of the markup after it in a reader that steps through GBK characters.
void append_html(std::string& out, std::string_view text);
std::string html_text(std::string_view text);
// For the hidden password and link boxes: like append_html, but only "<" becomes an entity.
void append_hidden_value(std::string& out, std::string_view text);

struct listing_view {
    std::optional<std::int64_t> page;  // empty when the request named no usable page
    std::vector<resource> items;
    bool has_next = false;
};

std::string render_listing_page(const listing_view& view);
std::string render_resource_page(const resource& item);
std::string render_home_page();
std::string render_hosting_page();
std::string render_publishing_form();
std::string render_submission_accepted(std::int64_t id, bool published);
// `message` is one of the site's own texts; it is not escaped.
std::string render_message_page(std::string_view message);

// "YYYY-MM-DD" in local time.
std::string format_date(std::int64_t seconds);

}  // namespace quorvelv
