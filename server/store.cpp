#include "server/store.hpp"

#include <mutex>

#include <sqlite3.h>

namespace quorvelv {
namespace {

constexpr int schema_version = 1;

constexpr const char* schema = R"sql(
CREATE TABLE IF NOT EXISTS resources (
    id       INTEGER PRIMARY KEY AUTOINCREMENT,
    state    INTEGER NOT NULL,
    category INTEGER NOT NULL,
    name     BLOB NOT NULL,
    size     BLOB NOT NULL,
    password BLOB NOT NULL,
    link     BLOB NOT NULL,
    created  INTEGER NOT NULL
);
-- The listing walks approved resources by id; pages are read off this index, never by a scan of the table.
CREATE INDEX IF NOT EXISTS resources_by_state ON resources (state, id);
CREATE TABLE IF NOT EXISTS settings (
    key   TEXT PRIMARY KEY,
    value BLOB NOT NULL
);
)sql";

constexpr const char* resource_columns = "id, state, category, name, size, password, link, created";
// The page's ids come off the covering index alone, so skipping to a deep page never touches the table's rows;
// only the page's own rows are then read.
constexpr const char* listing_sql =
    "SELECT id, state, category, name, size, password, link, created FROM resources WHERE id IN "
    "(SELECT id FROM resources WHERE state = ?1 ORDER BY id DESC LIMIT ?2 OFFSET ?3) ORDER BY id DESC";

struct statement_closer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using statement = std::unique_ptr<sqlite3_stmt, statement_closer>;

}  // namespace

struct site_store {
    std::mutex mutex;  // one connection, used by one thread at a time
    sqlite3* db = nullptr;
    statement insert, listing, in_state, by_id, count_all, count_in_state, update_state, get_setting, put_setting;
    statement begin, commit, rollback;

    ~site_store() {
        // Statements first: a connection with live statements does not close.
        for (statement* s : {&insert, &listing, &in_state, &by_id, &count_all, &count_in_state, &update_state,
                             &get_setting, &put_setting, &begin, &commit, &rollback}) {
            s->reset();
        }
        sqlite3_close(db);
    }
};

void site_store_closer::operator()(site_store* store) const { delete store; }

namespace {

[[noreturn]] void fail(sqlite3* db, const std::string& what) {
    throw store_error(what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

void execute(sqlite3* db, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        throw store_error(text);
    }
}

statement prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr) != SQLITE_OK) {
        fail(db, "preparing \"" + sql + "\"");
    }
    return statement(raw);
}

// Runs a statement once per use and leaves it ready for the next, whatever happens in between.
struct statement_use {
    sqlite3_stmt* s;
    sqlite3* db;
    statement_use(const statement& st, sqlite3* connection) : s(st.get()), db(connection) {}
    ~statement_use() {
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
    }
    statement_use(const statement_use&) = delete;
    statement_use& operator=(const statement_use&) = delete;

    void bind(int index, std::int64_t value) {
        if (sqlite3_bind_int64(s, index, value) != SQLITE_OK) fail(db, "binding");
    }
    void bind(int index, std::string_view bytes) {
        // A zero-length blob, not NULL, for an empty text.
        const int rc = bytes.empty() ? sqlite3_bind_zeroblob(s, index, 0)
                                     : sqlite3_bind_blob64(s, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
        if (rc != SQLITE_OK) fail(db, "binding");
    }
    void bind_text(int index, const char* text) {
        if (sqlite3_bind_text(s, index, text, -1, SQLITE_STATIC) != SQLITE_OK) fail(db, "binding");
    }
    bool step() {
        const int rc = sqlite3_step(s);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        fail(db, "running \"" + std::string(sqlite3_sql(s)) + "\"");
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(s, column); }
    std::string bytes(int column) const {
        const void* data = sqlite3_column_blob(s, column);
        const int size = sqlite3_column_bytes(s, column);
        return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size)) : std::string();
    }
    resource row() const {
        resource r;
        r.id = integer(0);
        r.state = static_cast<review_state>(integer(1));
        r.fields.category = static_cast<int>(integer(2));
        r.fields.name = bytes(3);
        r.fields.size = bytes(4);
        r.fields.password = bytes(5);
        r.fields.link = bytes(6);
        r.fields.created = integer(7);
        return r;
    }
};

void run(const statement& st, sqlite3* db) {
    statement_use use(st, db);
    use.step();
}

std::int64_t insert_locked(site_store& store, const new_resource& fields, review_state state) {
    statement_use use(store.insert, store.db);
    use.bind(1, static_cast<std::int64_t>(state));
    use.bind(2, static_cast<std::int64_t>(fields.category));
    use.bind(3, std::string_view(fields.name));
    use.bind(4, std::string_view(fields.size));
    use.bind(5, std::string_view(fields.password));
    use.bind(6, std::string_view(fields.link));
    use.bind(7, fields.created);
    use.step();
    return sqlite3_last_insert_rowid(store.db);
}

}  // namespace

store_handle open_store(const std::string& path) {
    store_handle store(new site_store);
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &store->db, flags, nullptr) != SQLITE_OK) {
        fail(store->db, "opening " + path);
    }
    sqlite3* db = store->db;
    sqlite3_extended_result_codes(db, 1);
    // The admin commands write from another process while the server runs: wait for their lock, don't fail.
    sqlite3_busy_timeout(db, 5000);
    // WAL lets readers go on while a submission is written; FULL makes each committed submission survive a power cut.
    execute(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL; PRAGMA foreign_keys = ON;");

    execute(db, "BEGIN IMMEDIATE");
    try {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &raw, nullptr) != SQLITE_OK) fail(db, "reading version");
        statement version(raw);
        const int found = sqlite3_step(raw) == SQLITE_ROW ? sqlite3_column_int(raw, 0) : 0;
        version.reset();
        if (found > schema_version) {
            throw store_error(path + " was written by a newer version of the site (schema " + std::to_string(found) +
                              ")");
        }
        execute(db, schema);
        execute(db, ("PRAGMA user_version = " + std::to_string(schema_version)).c_str());
        execute(db, "COMMIT");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }

    const std::string columns = resource_columns;
    store->insert = prepare(db,
                            "INSERT INTO resources (state, category, name, size, password, link, created) "
                            "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    store->listing = prepare(db, listing_sql);
    store->in_state = prepare(db, "SELECT " + columns + " FROM resources WHERE state = ?1 ORDER BY id");
    store->by_id = prepare(db, "SELECT " + columns + " FROM resources WHERE id = ?1");
    store->count_all = prepare(db, "SELECT count(*) FROM resources");
    store->count_in_state = prepare(db, "SELECT count(*) FROM resources WHERE state = ?1");
    store->update_state = prepare(db, "UPDATE resources SET state = ?1 WHERE id = ?2");
    store->get_setting = prepare(db, "SELECT value FROM settings WHERE key = ?1");
    store->put_setting = prepare(db,
                                 "INSERT INTO settings (key, value) VALUES (?1, ?2) "
                                 "ON CONFLICT (key) DO UPDATE SET value = excluded.value");
    store->begin = prepare(db, "BEGIN IMMEDIATE");
    store->commit = prepare(db, "COMMIT");
    store->rollback = prepare(db, "ROLLBACK");
    return store;
}

std::int64_t add_resource(site_store& store, const new_resource& fields, review_state state) {
    std::lock_guard lock(store.mutex);
    return insert_locked(store, fields, state);
}

void add_resources(site_store& store, const std::vector<new_resource>& list, review_state state) {
    std::lock_guard lock(store.mutex);
    run(store.begin, store.db);
    try {
        for (const new_resource& fields : list) insert_locked(store, fields, state);
        run(store.commit, store.db);
    } catch (...) {
        sqlite3_reset(store.rollback.get());
        sqlite3_step(store.rollback.get());
        sqlite3_reset(store.rollback.get());
        throw;
    }
}

std::vector<resource> approved_resources(site_store& store, std::int64_t offset, std::int64_t limit) {
    std::vector<resource> list;
    if (offset < 0 || limit <= 0) return list;
    std::lock_guard lock(store.mutex);
    statement_use use(store.listing, store.db);
    use.bind(1, static_cast<std::int64_t>(review_state::approved));
    use.bind(2, limit);
    use.bind(3, offset);
    while (use.step()) list.push_back(use.row());
    return list;
}

std::vector<resource> resources_in_state(site_store& store, review_state state) {
    std::vector<resource> list;
    std::lock_guard lock(store.mutex);
    statement_use use(store.in_state, store.db);
    use.bind(1, static_cast<std::int64_t>(state));
    while (use.step()) list.push_back(use.row());
    return list;
}

std::optional<resource> find_resource(site_store& store, std::int64_t id) {
    std::lock_guard lock(store.mutex);
    statement_use use(store.by_id, store.db);
    use.bind(1, id);
    if (!use.step()) return std::nullopt;
    return use.row();
}

std::int64_t count_resources(site_store& store, std::optional<review_state> state) {
    std::lock_guard lock(store.mutex);
    statement_use use(state ? store.count_in_state : store.count_all, store.db);
    if (state) use.bind(1, static_cast<std::int64_t>(*state));
    use.step();
    return use.integer(0);
}

bool set_review_state(site_store& store, std::int64_t id, review_state state) {
    std::lock_guard lock(store.mutex);
    statement_use use(store.update_state, store.db);
    use.bind(1, static_cast<std::int64_t>(state));
    use.bind(2, id);
    use.step();
    return sqlite3_changes(store.db) > 0;
}

std::string notice_text(site_store& store) {
    std::lock_guard lock(store.mutex);
    statement_use use(store.get_setting, store.db);
    use.bind_text(1, "notice");
    return use.step() ? use.bytes(0) : std::string("0");
}

void set_notice_text(site_store& store, std::string_view text) {
    std::lock_guard lock(store.mutex);
    statement_use use(store.put_setting, store.db);
    use.bind_text(1, "notice");
    use.bind(2, text);
    use.step();
}

std::vector<std::string> listing_query_plan(site_store& store) {
    std::lock_guard lock(store.mutex);
    statement plan = prepare(store.db, std::string("EXPLAIN QUERY PLAN ") + listing_sql);
    statement_use use(plan, store.db);
    std::vector<std::string> steps;
    while (use.step()) {
        const unsigned char* detail = sqlite3_column_text(use.s, 3);
        steps.emplace_back(detail ? reinterpret_cast<const char*>(detail) : "");
    }
    return steps;
}

}  // namespace quorvelv
