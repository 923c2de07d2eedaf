// The site through real HTTP on a loopback port, read by the client's own parser.

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "server/demo.hpp"
#include "server/form.hpp"
#include "server/pages.hpp"
#include "tests/server/site_fixture.hpp"

namespace quorvelv {
namespace {

using server_tests::expected_item;
using server_tests::gbk;
using server_tests::parse_with_client_defaults;
using server_tests::running_site;

std::string get_body(running_site& site, const std::string& target, int expected_status = 200) {
    auto response = site.client().Get(target.c_str());
    if (!response) {
        ADD_FAILURE() << target << ": no response";
        return {};
    }
    EXPECT_EQ(response->status, expected_status) << target;
    return response->body;
}

int post_status(running_site& site, const std::string& body) {
    auto response = site.client().Post("/tjwz.php", body, "application/x-www-form-urlencoded");
    return response ? response->status : -1;
}

std::vector<listing_item> expected_items(site_store& store, std::int64_t offset, std::int64_t count) {
    std::vector<listing_item> items;
    for (const resource& r : approved_resources(store, offset, count)) items.push_back(expected_item(r));
    return items;
}

submission_fields client_fields(const std::string& name) {
    return {name, "700", "2", "https://pan.example.com/s/1a2b?pwd=x&from=share", gbk("无"), "sad"};
}

TEST(site_listing, client_parser_reads_first_later_last_and_past_the_end_pages) {
    running_site site;
    add_resources(*site.store, demo_resources(1'700'000'000), review_state::approved);  // 45: pages 0, 1, 2
    add_resource(*site.store, server_tests::sample_resource("pending"), review_state::pending);
    const std::int64_t rejected =
        add_resource(*site.store, server_tests::sample_resource("rejected"), review_state::pending);
    set_review_state(*site.store, rejected, review_state::rejected);

    auto response = site.client().Get("/jcbh1.php?yms=0");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->get_header_value("Content-Type"), "text/html; charset=gbk");

    struct page_case {
        const char* target;
        std::int64_t offset, count;
    };
    for (const page_case& c : {page_case{"/jcbh1.php?yms=0", 0, 20}, page_case{"/jcbh1.php", 0, 20},
                               page_case{"/jcbh1.php?yms=1", 20, 20}, page_case{"/jcbh1.php?yms=2", 40, 5},
                               page_case{"/jcbh1.php?yms=3", 0, 0}, page_case{"/jcbh1.php?yms=-1", 0, 0},
                               page_case{"/jcbh1.php?yms=abc", 0, 0}, page_case{"/jcbh1.php?yms=", 0, 0},
                               page_case{"/jcbh1.php?yms=99999999999999999999", 0, 0}}) {
        const std::string page = get_body(site, c.target);
        const std::vector<listing_item> items = parse_with_client_defaults(page);
        EXPECT_EQ(items, expected_items(*site.store, c.offset, c.count)) << c.target;
        EXPECT_EQ(items.size(), static_cast<std::size_t>(c.count)) << c.target;
        EXPECT_NE(page.find(default_parser_config().section_end), std::string::npos) << c.target;
    }
}

TEST(site_publishing, submission_waits_for_review_then_appears_first) {
    running_site site;
    add_resources(*site.store, demo_resources(1'700'000'000), review_state::approved);
    const std::string name = gbk("新资源：课程合集");
    ASSERT_EQ(post_status(site, encoded_submission(client_fields(name))), 200);

    const std::vector<resource> pending = resources_in_state(*site.store, review_state::pending);
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].fields.name, name);
    EXPECT_EQ(pending[0].fields.link, "https://pan.example.com/s/1a2b?pwd=x&from=share");
    EXPECT_EQ(pending[0].fields.password, gbk("无"));
    EXPECT_EQ(pending[0].fields.size, "700");
    const std::string pid = "/jc.php?pid=" + std::to_string(pending[0].id);
    get_body(site, pid, 404);  // not public yet
    EXPECT_NE(parse_with_client_defaults(get_body(site, "/jcbh1.php?yms=0")).front().resource_id,
              std::to_string(pending[0].id));

    ASSERT_TRUE(set_review_state(*site.store, pending[0].id, review_state::approved));
    const std::vector<listing_item> items = parse_with_client_defaults(get_body(site, "/jcbh1.php?yms=0"));
    ASSERT_EQ(items.size(), 20u);
    EXPECT_EQ(items.front(), expected_item(*find_resource(*site.store, pending[0].id)));
    EXPECT_NE(get_body(site, pid).find(name), std::string::npos);
}

TEST(site_publishing, unencoded_body_of_the_original_client_is_stored_as_typed) {
    running_site site;
    const std::string name = gbk("电影 & 音乐 100%");
    const std::string body = "wzbt=" + name + "&wznr=1.5&wzlb=2&mwlb=https://pan.example.com/s?a=1&b=2&mwmm=" +
                             gbk("无") + "&djtj=sad";
    ASSERT_EQ(post_status(site, body), 200);
    const std::vector<resource> pending = resources_in_state(*site.store, review_state::pending);
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].fields.name, name);
    EXPECT_EQ(pending[0].fields.link, "https://pan.example.com/s?a=1&b=2");
}

TEST(site_publishing, auto_approve_publishes_at_once) {
    site_options options = running_site::quiet_options();
    options.auto_approve = true;
    running_site site(options);
    ASSERT_EQ(post_status(site, encoded_submission(client_fields("now"))), 200);
    const std::vector<listing_item> items = parse_with_client_defaults(get_body(site, "/jcbh1.php?yms=0"));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].row.name, "now\r\n");
}

TEST(site_publishing, hostile_submissions_render_inert_and_keep_the_layout) {
    site_options options = running_site::quiet_options();
    options.auto_approve = true;
    running_site site(options);
    const std::vector<std::string> names = {
        "<script>alert(1)</script>", "\"><img src=x onerror=alert(1)>",
        "x\r\n</div></a>\r\n\r\n\r\n<div class=\"fxan\" style=\"width:80px;\">\r\n9\r\n</div>",
        "a\xB0", std::string("nul\0", 4), "jc.php?pid=1\""};
    for (const std::string& name : names) {
        submission_fields fields = client_fields(name);
        fields.password = name;
        ASSERT_EQ(post_status(site, encoded_submission(fields)), 200);
    }
    ASSERT_EQ(post_status(site, encoded_submission(client_fields("after"))), 200);
    const std::string page = get_body(site, "/jcbh1.php?yms=0");
    EXPECT_EQ(parse_with_client_defaults(page), expected_items(*site.store, 0, 20));
    EXPECT_EQ(parse_with_client_defaults(page).size(), names.size() + 1);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    for (const resource& r : approved_resources(*site.store, 0, 20)) {
        const std::string details = get_body(site, "/jc.php?pid=" + std::to_string(r.id));
        EXPECT_EQ(details.find("<script"), std::string::npos);
        EXPECT_EQ(details.find("<img"), std::string::npos);
    }
}

TEST(site_publishing, refused_bodies_store_nothing) {
    running_site site;
    const std::string good = encoded_submission(client_fields("n"));
    std::string longest = good + "&pad=";
    longest.resize(max_form_body, 'x');
    std::string too_long = longest + "x";

    struct refusal {
        const char* what;
        std::string body;
        int status;
    };
    for (const refusal& r : {refusal{"over the limit", too_long, 413}, refusal{"bad escape", "wzbt=%ZZ" + good.substr(6), 400},
                             refusal{"cut escape", good + "%4", 400}, refusal{"empty", "", 400},
                             refusal{"no password", "wzbt=n&wznr=1&wzlb=2&mwlb=l&djtj=sad", 400},
                             refusal{"empty name", "wzbt=&wznr=1&wzlb=2&mwlb=l&mwmm=p&djtj=sad", 400}}) {
        EXPECT_EQ(post_status(site, r.body), r.status) << r.what;
    }
    EXPECT_EQ(count_resources(*site.store, std::nullopt), 0);

    // A chunked body carries no length to refuse it by: it is cut off at the limit.
    auto chunked = site.client().Post(
        "/tjwz.php",
        [&](std::size_t offset, httplib::DataSink& sink) {
            if (offset < too_long.size()) {
                const std::size_t piece = std::min<std::size_t>(4096, too_long.size() - offset);
                sink.write(too_long.data() + offset, piece);
            } else {
                sink.done();
            }
            return true;
        },
        "application/x-www-form-urlencoded");
    ASSERT_TRUE(chunked);
    EXPECT_EQ(chunked->status, 413);
    EXPECT_EQ(count_resources(*site.store, std::nullopt), 0);

    // The limit itself is allowed.
    EXPECT_EQ(post_status(site, longest), 200);
    EXPECT_EQ(count_resources(*site.store, std::nullopt), 1);
}

TEST(site_publishing, concurrent_submissions_all_land) {
    running_site site;
    constexpr int threads = 8;
    constexpr int each = 50;
    std::atomic<int> refused{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([&, t] {
            httplib::Client client = site.client();
            client.set_keep_alive(true);
            for (int i = 0; i < each; ++i) {
                const std::string body =
                    encoded_submission(client_fields("t" + std::to_string(t) + "-" + std::to_string(i)));
                auto response = client.Post("/tjwz.php", body, "application/x-www-form-urlencoded");
                if (!response || response->status != 200) ++refused;
            }
        });
    }
    // Readers meanwhile see well-formed pages.
    std::thread reader([&] {
        httplib::Client client = site.client();
        while (!done) {
            auto response = client.Get("/jcbh1.php?yms=0");
            if (!response || response->status != 200) ++refused;
        }
    });
    for (std::thread& poster : posters) poster.join();
    done = true;
    reader.join();

    EXPECT_EQ(refused, 0);
    std::set<std::string> names;
    for (const resource& r : resources_in_state(*site.store, review_state::pending)) names.insert(r.fields.name);
    EXPECT_EQ(names.size(), static_cast<std::size_t>(threads * each));
}

TEST(site_pages, notice_home_hosting_form_and_unknown_paths) {
    running_site site;
    auto notice = site.client().Get("/b1.txt");
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->body, "0");
    set_notice_text(*site.store, "1");
    EXPECT_EQ(get_body(site, "/b1.txt"), "1");

    EXPECT_NE(get_body(site, "/").find("href=\"jcbh1.php?yms=0\""), std::string::npos);
    EXPECT_NE(get_body(site, "/xnzj.php").find(gbk("主机优惠")), std::string::npos);
    const std::string form = get_body(site, "/tjwz.php");
    for (const char* field : {"name=\"wzbt\"", "name=\"wznr\"", "name=\"wzlb\"", "name=\"mwlb\"", "name=\"mwmm\"",
                              "name=\"djtj\""}) {
        EXPECT_NE(form.find(field), std::string::npos) << field;
    }
    const std::string missing = get_body(site, "/nothing.php", 404);
    EXPECT_NE(missing.find(gbk("页面不存在")), std::string::npos);
    get_body(site, "/jc.php?pid=abc", 404);
    get_body(site, "/jc.php", 404);
}

TEST(site_pages, a_second_site_cannot_take_a_port_in_use) {
    running_site site;
    store_handle other_store = open_store(site.dir.path + "/other.db");
    httplib::Server other;
    configure_site(other, *other_store, running_site::quiet_options());
    EXPECT_FALSE(other.bind_to_port("127.0.0.1", site.port));
}

}  // namespace
}  // namespace quorvelv
