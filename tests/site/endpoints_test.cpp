// The site's addresses, built by plain concatenation on the base address.

#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "site/endpoints.hpp"

namespace quorvelv {
namespace {

TEST(Endpoints, ListingPageNumberIsWrittenAsPercentDWritesIt) {
    set_site_base_address_for_tests("http://site.test");
    EXPECT_EQ(listing_page_url(0), "http://site.test/jcbh1.php?yms=0");
    EXPECT_EQ(listing_page_url(12), "http://site.test/jcbh1.php?yms=12");
    EXPECT_EQ(listing_page_url(-1), "http://site.test/jcbh1.php?yms=-1");
    EXPECT_EQ(listing_page_url(std::numeric_limits<std::int32_t>::max()),
              "http://site.test/jcbh1.php?yms=2147483647");
    EXPECT_EQ(listing_page_url(std::numeric_limits<std::int32_t>::min()),
              "http://site.test/jcbh1.php?yms=-2147483648");
}

TEST(Endpoints, OtherAddressesAppendTheirPath) {
    set_site_base_address_for_tests("http://site.test");
    EXPECT_EQ(notice_file_url(), "http://site.test/b1.txt");
    EXPECT_EQ(publishing_url(), "http://site.test/tjwz.php");
    EXPECT_EQ(home_page_url(), "http://site.test");
    EXPECT_EQ(hosting_offer_url(), "http://site.test/xnzj.php");
}

TEST(Endpoints, OnlyHttpAndHttpsAreWebAddresses) {
    for (const char* address : {"http://a", "HTTPS://a/b", "hTtP://x"}) EXPECT_TRUE(is_web_address(address));
    for (const char* address : {"", "http:", "file:///c:/x.exe", "ftp://a", "javascript:alert(1)", " http://a",
                                "httpx://a", "C:\\run.exe"})
        EXPECT_FALSE(is_web_address(address)) << address;
}

}  // namespace
}  // namespace quorvelv
