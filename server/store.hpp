#pragma once
// The site's storage: resources and their review state, and the notice text, in one SQLite database file.
// Every function is safe to call from several threads at once; other processes (the admin commands) may use
// the same file at the same time.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorvelv {

struct store_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class review_state { pending = 0, approved = 1, rejected = 2 };

// Texts are GBK bytes, kept exactly as they were submitted.
struct new_resource {
    int category = 2;
    std::string name, size, password, link;
    std::int64_t created = 0;  // seconds since the epoch
};

struct resource {
    std::int64_t id = 0;
    review_state state = review_state::pending;
    new_resource fields;
};

struct site_store;
struct site_store_closer {
    void operator()(site_store* store) const;
};
using store_handle = std::unique_ptr<site_store, site_store_closer>;

// Opens (creating if needed) the database; throws store_error.
store_handle open_store(const std::string& path);

std::int64_t add_resource(site_store& store, const new_resource& fields, review_state state);
// All in one transaction: for seeding.
void add_resources(site_store& store, const std::vector<new_resource>& list, review_state state);

// Approved resources, newest first: `limit` of them after skipping `offset`.
std::vector<resource> approved_resources(site_store& store, std::int64_t offset, std::int64_t limit);
std::vector<resource> resources_in_state(site_store& store, review_state state);
std::optional<resource> find_resource(site_store& store, std::int64_t id);
std::int64_t count_resources(site_store& store, std::optional<review_state> state);

// False when there is no such resource.
bool set_review_state(site_store& store, std::int64_t id, review_state state);

std::string notice_text(site_store& store);  // "0" until one is set
void set_notice_text(site_store& store, std::string_view text);

// How SQLite runs the listing query, one line per step (for checking that it walks an index).
std::vector<std::string> listing_query_plan(site_store& store);

}  // namespace quorvelv
