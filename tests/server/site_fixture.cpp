#include "tests/server/site_fixture.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <gtest/gtest.h>

#include "server/gbk.hpp"
#include "server/pages.hpp"

namespace quorvelv::server_tests {

temp_dir::temp_dir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvelv-site-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary directory");
    path = pattern;
}

temp_dir::~temp_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

site_options running_site::quiet_options() {
    site_options options;
    options.log = nullptr;
    return options;
}

running_site::running_site(site_options options) : store(open_store(dir.path + "/site.db")) {
    configure_site(server, *store, options);
    port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) throw std::runtime_error("cannot bind a loopback port");
    // The socket listens from here on: clients may connect before the accept loop runs.
    thread = std::thread([this] { server.listen_after_bind(); });
}

running_site::~running_site() {
    // stop() does nothing until the accept loop has started.
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    server.stop();
    thread.join();
}

httplib::Client running_site::client() const {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(5);
    client.set_read_timeout(10);
    client.set_tcp_nodelay(true);
    return client;
}

std::vector<listing_item> parse_with_client_defaults(const std::string& page) {
    std::vector<listing_item> items;
    parse_listing_page(page, default_parser_config(), [&](const listing_item& item) { items.push_back(item); });
    return items;
}

std::string gbk(const char* utf8) {
    std::optional<std::string> text = gbk_from_utf8(utf8);
    if (!text) {
        ADD_FAILURE() << "no GBK form for " << utf8;
        return {};
    }
    return *text;
}

listing_item expected_item(const resource& r) {
    listing_item item;
    // The layout puts a line break after the name and before the password and the link.
    item.row.name = html_text(r.fields.name) + "\r\n";
    item.row.size = html_text(r.fields.size) + "MB";
    std::string password, link;
    append_hidden_value(password, r.fields.password);
    append_hidden_value(link, r.fields.link);
    item.row.password = "\r\n" + password;
    item.row.link = "\r\n" + link;
    item.resource_id = std::to_string(r.id);
    return item;
}

new_resource sample_resource(const std::string& name) {
    new_resource r;
    r.name = name;
    r.size = "700";
    r.password = "abcd";
    r.link = "https://pan.example.com/s/" + std::to_string(name.size());
    r.created = 1'700'000'000;
    return r;
}

}  // namespace quorvelv::server_tests

namespace quorvelv {

void PrintTo(const listing_item& item, std::ostream* out) {
    auto shown = [](const std::string& text) {
        std::string out;
        for (unsigned char c : text) {
            if (c == '\r') out += "\\r";
            else if (c == '\n') out += "\\n";
            else if (c < 0x20 || c >= 0x80) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            } else out += static_cast<char>(c);
        }
        return out;
    };
    *out << "{id " << shown(item.resource_id) << ", name \"" << shown(item.row.name) << "\", size \""
         << shown(item.row.size) << "\", password \"" << shown(item.row.password) << "\", link \""
         << shown(item.row.link) << "\"}";
}

}  // namespace quorvelv
