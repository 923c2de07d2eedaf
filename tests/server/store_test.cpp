// The database: exact bytes, review states, the notice, and a listing query that walks an index.

#include "server/store.hpp"

#include <algorithm>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "server/demo.hpp"
#include "server/pages.hpp"
#include "server/site.hpp"
#include "tests/server/site_fixture.hpp"

namespace quorvelv {
namespace {

using server_tests::temp_dir;

TEST(store, keeps_submitted_bytes_exactly_across_reopening) {
    temp_dir dir;
    const std::string path = dir.path + "/site.db";
    new_resource r;
    r.category = 7;
    r.name = std::string("\xD6\xD0\0\xFF<&", 6);
    r.size = "";
    r.password = "\r\n";
    r.link = "https://example.org/?a=1&b=2";
    r.created = 1234567890;
    std::int64_t id = 0;
    {
        store_handle store = open_store(path);
        id = add_resource(*store, r, review_state::pending);
    }
    store_handle store = open_store(path);
    const std::optional<resource> found = find_resource(*store, id);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->state, review_state::pending);
    EXPECT_EQ(found->fields.category, 7);
    EXPECT_EQ(found->fields.name, r.name);
    EXPECT_EQ(found->fields.size, "");
    EXPECT_EQ(found->fields.password, r.password);
    EXPECT_EQ(found->fields.link, r.link);
    EXPECT_EQ(found->fields.created, r.created);
    EXPECT_FALSE(find_resource(*store, id + 1));
}

TEST(store, review_moves_resources_between_the_lists) {
    temp_dir dir;
    store_handle store = open_store(dir.path + "/site.db");
    const std::int64_t a = add_resource(*store, server_tests::sample_resource("a"), review_state::pending);
    const std::int64_t b = add_resource(*store, server_tests::sample_resource("b"), review_state::pending);
    EXPECT_EQ(resources_in_state(*store, review_state::pending).size(), 2u);
    EXPECT_TRUE(approved_resources(*store, 0, 20).empty());

    EXPECT_TRUE(set_review_state(*store, a, review_state::approved));
    EXPECT_TRUE(set_review_state(*store, b, review_state::rejected));
    EXPECT_FALSE(set_review_state(*store, b + 100, review_state::approved));
    const std::vector<resource> listed = approved_resources(*store, 0, 20);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].id, a);
    EXPECT_TRUE(resources_in_state(*store, review_state::pending).empty());
    EXPECT_EQ(count_resources(*store, review_state::rejected), 1);
    EXPECT_EQ(count_resources(*store, std::nullopt), 2);
}

TEST(store, notice_is_zero_until_set_then_exact_bytes) {
    temp_dir dir;
    store_handle store = open_store(dir.path + "/site.db");
    EXPECT_EQ(notice_text(*store), "0");
    for (const std::string& text : {std::string("1"), std::string("1\r\n"), std::string("1\0x", 3), std::string()}) {
        set_notice_text(*store, text);
        EXPECT_EQ(notice_text(*store), text);
    }
}

TEST(store, refuses_a_database_of_a_newer_schema) {
    temp_dir dir;
    const std::string path = dir.path + "/site.db";
    open_store(path);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    EXPECT_THROW(open_store(path), store_error);
    EXPECT_THROW(open_store(dir.path + "/no/such/dir/site.db"), store_error);
}

TEST(store, listing_query_walks_the_index_even_on_a_big_table) {
    temp_dir dir;
    store_handle store = open_store(dir.path + "/site.db");
    add_resources(*store, generated_resources(10'000, 1'700'000'000), review_state::approved);
    add_resource(*store, server_tests::sample_resource("pending"), review_state::pending);

    const std::vector<std::string> plan = listing_query_plan(*store);
    std::string all;
    for (const std::string& step : plan) all += step + "\n";
    EXPECT_NE(all.find("USING COVERING INDEX resources_by_state"), std::string::npos) << all;
    EXPECT_EQ(all.find("SCAN"), std::string::npos) << all;
    EXPECT_EQ(all.find("TEMP B-TREE"), std::string::npos) << all;  // no sort per page

    // Newest first; the last page holds the oldest ids; past it nothing.
    const listing_view first = listing_for(*store, 0, 20);
    ASSERT_EQ(first.items.size(), 20u);
    EXPECT_EQ(first.items.front().id, 10'000);
    EXPECT_TRUE(first.has_next);
    const listing_view last = listing_for(*store, 499, 20);
    ASSERT_EQ(last.items.size(), 20u);
    EXPECT_EQ(last.items.back().id, 1);
    EXPECT_FALSE(last.has_next);
    EXPECT_TRUE(listing_for(*store, 500, 20).items.empty());
    EXPECT_TRUE(listing_for(*store, std::int64_t{1} << 48, 1000).items.empty());
    EXPECT_TRUE(listing_for(*store, -1, 20).items.empty());
}

TEST(demo, resources_are_varied_and_gbk) {
    const std::vector<new_resource> demo = demo_resources(1'700'000'000);
    EXPECT_GE(demo.size(), 40u);
    EXPECT_LE(demo.size(), 50u);
    std::set<std::string> names, passwords, hosts;
    for (const new_resource& r : demo) {
        names.insert(r.name);
        passwords.insert(r.password);
        EXPECT_TRUE(r.link.starts_with("https://")) << r.link;
        hosts.insert(r.link.substr(0, r.link.find('/', 8)));
        EXPECT_TRUE(std::any_of(r.name.begin(), r.name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
        EXPECT_EQ(html_text(r.name), r.name);  // nothing in the demo needs escaping
    }
    EXPECT_EQ(names.size(), demo.size());
    EXPECT_GT(passwords.size(), 30u);
    EXPECT_GE(hosts.size(), 3u);
}

}  // namespace
}  // namespace quorvelv
