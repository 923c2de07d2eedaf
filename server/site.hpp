#pragma once
// The site's HTTP endpoints over its storage.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include <httplib.h>

#include "server/pages.hpp"
#include "server/store.hpp"

namespace quorvelv {

struct site_options {
    std::int64_t page_size = 20;
    bool auto_approve = false;  // publish submissions at once instead of filing them for review
    std::FILE* log = stderr;    // one line per request; none when null
};

// Installs every route, the body limit, the error pages and the request log on `server`. `store` must outlive it.
void configure_site(httplib::Server& server, site_store& store, const site_options& options);

// A page number as the listing's "yms" parameter gives it: an optional "-" and decimal digits, nothing else.
// Numbers too large for any page are clamped, so they simply lie past the end.
std::optional<std::int64_t> parse_page_number(std::string_view text);

// The listing page `page` (empty: no usable page was asked for) with `page_size` items a page.
listing_view listing_for(site_store& store, std::optional<std::int64_t> page, std::int64_t page_size);

}  // namespace quorvelv
