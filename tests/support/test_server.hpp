#pragma once
// An in-process HTTP server for tests, on 127.0.0.1 with a free port, that records every request it gets.
//
//   quorvelv::test_support::test_server server;            // listening once constructed
//   server.serve("/b1.txt", "1");                            // fixed body (or on_get / on_post with a handler)
//   http_get(server.url("/b1.txt"));
//   ASSERT_TRUE(server.wait_for_requests(1));
//   server.requests()[0].header("User-Agent");               // method, target, version, headers, body
//
// Handlers can be added or replaced at any time from any thread; they run on the server's threads. A path with
// no handler answers 404 with the body "not found". Every request is recorded before its handler runs, so a
// test can wait for a request that is never answered. The fault addresses below each play one misbehaviour of
// a real server; some are served by a small raw TCP listener of their own (another port, same host) because
// HTTP libraries cannot misbehave on purpose. The destructor ends every open connection, hanging ones included,
// but waits for running handlers: a handler of a test that blocks must stop blocking when the test ends.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <httplib.h>

namespace quorvelv::test_support {

struct recorded_request {
    std::string method;   // "GET"
    std::string target;   // the request target exactly as on the request line: path and query
    std::string version;  // "HTTP/1.0"
    std::vector<std::pair<std::string, std::string>> headers;  // every header as received
    std::string body;

    std::string path() const;  // the target up to "?"
    bool has_header(std::string_view name) const;          // name compared case-insensitively
    std::string header(std::string_view name) const;       // its first value, "" when absent
};

using request_handler = std::function<void(const httplib::Request&, httplib::Response&)>;

// The body the fault addresses send: `size` bytes of "ABC...XYZ" repeated, never a zero byte.
std::string pattern_body(std::size_t size);

class test_server {
public:
    test_server();   // throws std::runtime_error when it cannot listen
    ~test_server();  // stops listening and ends every open connection
    test_server(const test_server&) = delete;
    test_server& operator=(const test_server&) = delete;

    int port() const;
    std::string base_address() const;                // "http://127.0.0.1:<port>", no trailing "/"
    std::string url(std::string_view target) const;  // base_address() + target

    // Handlers for an exact path (no query part); a later call for the same path replaces the earlier one.
    void on_get(std::string path, request_handler handler);
    void on_post(std::string path, request_handler handler);
    void serve(std::string path, std::string body, std::string content_type = "text/html", int status = 200);

    std::vector<recorded_request> requests() const;  // a copy, in order of arrival
    std::size_t request_count() const;
    // Waits until at least `count` requests have arrived; false when the time ran out first.
    bool wait_for_requests(std::size_t count,
                           std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    void clear_requests();

    // Fault addresses (full addresses, ready for http_get).
    std::string status_url(int status, std::string_view body = "error page") const;  // that status and body
    // pattern_body(chunks * chunk_bytes) with its Content-Length, in `chunks` writes `delay` apart.
    std::string drip_url(int chunks, std::size_t chunk_bytes, std::chrono::milliseconds delay) const;
    // Announces Content-Length `announced`, sends `sent` pattern bytes, waits until the peer has them, then
    // resets the connection (or, with reset false, closes it in order).
    std::string cut_url(std::size_t sent, std::size_t announced, bool reset = true) const;
    // pattern_body(size) without Content-Length, ended by the server closing the connection.
    std::string unsized_url(std::size_t size) const;
    // A redirect with that status to `location` (sent as given, so it may be relative or another scheme).
    std::string redirect_url(std::string_view location, int status = 302) const;
    // Redirects to itself for ever (each hop adds to the query); count the hops with request_count().
    std::string redirect_loop_url() const;
    // Accepts the connection, reads the request and never answers.
    std::string silent_url() const;
    // Status line and headers without Content-Length, then pattern bytes for ever, `chunk_bytes` every `delay`
    // (a fetch gathers the whole body, so without a delay it fills the client's memory fast).
    std::string endless_url(std::size_t chunk_bytes = 16384,
                            std::chrono::milliseconds delay = std::chrono::milliseconds(0)) const;

    struct state;  // shared with the server threads

private:
    std::shared_ptr<state> state_;
};

}  // namespace quorvelv::test_support
