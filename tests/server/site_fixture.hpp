#pragma once
// A site server on a free loopback port with a database of its own, for tests that talk HTTP to it.

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "listing/parser.hpp"
#include "server/site.hpp"
#include "server/store.hpp"

namespace quorvelv {

inline bool operator==(const listing_row& a, const listing_row& b) {
    return a.name == b.name && a.size == b.size && a.password == b.password && a.link == b.link;
}
inline bool operator==(const listing_item& a, const listing_item& b) {
    return a.row == b.row && a.resource_id == b.resource_id;
}
void PrintTo(const listing_item& item, std::ostream* out);

}  // namespace quorvelv

namespace quorvelv::server_tests {

// A fresh directory, removed with everything in it.
struct temp_dir {
    std::string path;
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
};

struct running_site {
    temp_dir dir;
    store_handle store;
    httplib::Server server;
    std::thread thread;
    int port = 0;

    explicit running_site(site_options options = quiet_options());
    ~running_site();
    running_site(const running_site&) = delete;
    running_site& operator=(const running_site&) = delete;

    httplib::Client client() const;
    static site_options quiet_options();
};

std::vector<listing_item> parse_with_client_defaults(const std::string& page);

// GBK bytes of a UTF-8 text; fails the test when it has none.
std::string gbk(const char* utf8);

// What the client's parser cuts out of an item the site rendered for `r`.
listing_item expected_item(const resource& r);

new_resource sample_resource(const std::string& name);

}  // namespace quorvelv::server_tests
