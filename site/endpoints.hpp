#pragma once
// The one place that knows the site's addresses.

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvelv {

std::string site_base_address();                    // scheme and host, no trailing "/"
std::string listing_page_url(std::int32_t page);    // site_base_address + "/jcbh1.php?yms=" + page as "%d" writes it
std::string notice_file_url();                      // + "/b1.txt"
std::string publishing_url();                       // + "/tjwz.php"
std::string home_page_url();                        // the base address alone
std::string hosting_offer_url();                    // + "/xnzj.php"

// True for an http or https address (scheme compared case-insensitively): the only kind handed to the
// browser, since listing links come from a web page and must not open or run anything local.
bool is_web_address(std::string_view address);

// Tests only: point every endpoint at a local server. The program never calls it.
void set_site_base_address_for_tests(std::string address);

}  // namespace quorvelv
