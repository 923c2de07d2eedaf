// The one session shared by fetches on several threads: its creation, the cookie store, concurrent fetches.
// ctest runs each test in a process of its own, so the first test really is the process's first fetch.

#include <barrier>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "site/http.hpp"
#include "tests/support/test_server.hpp"

namespace quorvelv {
namespace {

using test_support::pattern_body;
using test_support::test_server;

// A handler that sets the cookie named by the query ("/set?name=value") and answers with the cookies it got.
void serve_cookie_pages(test_server& server) {
    server.on_get("/set", [](const httplib::Request& req, httplib::Response& res) {
        const auto query = req.target.substr(req.target.find('?') + 1);
        res.set_header("Set-Cookie", query + "; Path=/");
        res.set_content("set", "text/plain");
    });
    server.on_get("/cookies", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_header_value("Cookie"), "text/plain");
    });
}

TEST(HttpSession, TwoFirstFetchesAtOnceShareOneSession) {
    test_server server;
    serve_cookie_pages(server);
    std::barrier start(2);
    std::string seen[2];
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            http_get(server.url("/set?first" + std::to_string(i) + "=yes"));
            start.arrive_and_wait();  // both cookies are in by now
            seen[i] = http_get(server.url("/cookies"));
        });
    }
    for (auto& thread : threads) thread.join();
    // Each thread sees the cookie the other thread's first fetch received: one cookie store.
    for (const auto& cookies : seen) {
        EXPECT_NE(cookies.find("first0=yes"), std::string::npos) << cookies;
        EXPECT_NE(cookies.find("first1=yes"), std::string::npos) << cookies;
    }
}

TEST(HttpSession, SendsACookieBackFromAnotherThread) {
    test_server server;
    serve_cookie_pages(server);
    std::thread([&] { EXPECT_EQ(http_get(server.url("/set?sid=abc123")), "set"); }).join();
    std::string cookies;
    std::thread([&] { cookies = http_get(server.url("/cookies")); }).join();
    EXPECT_NE(cookies.find("sid=abc123"), std::string::npos) << cookies;

    // A replaced cookie replaces the stored one for every thread.
    std::thread([&] { http_get(server.url("/set?sid=def456")); }).join();
    std::thread([&] { cookies = http_get(server.url("/cookies")); }).join();
    EXPECT_NE(cookies.find("sid=def456"), std::string::npos) << cookies;
    EXPECT_EQ(cookies.find("abc123"), std::string::npos) << cookies;
}

TEST(HttpSession, ManyThreadsFetchAtOnceEachGettingItsOwnBody) {
    test_server server;
    serve_cookie_pages(server);
    constexpr int thread_count = 6;
    constexpr int fetches = 8;
    for (int t = 0; t < thread_count; ++t)
        server.serve("/page" + std::to_string(t), pattern_body(20000 + static_cast<std::size_t>(t)));
    std::barrier start(thread_count);
    std::vector<int> right(thread_count, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < thread_count; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int f = 0; f < fetches; ++f) {
                // Cookies being written by some threads while others read them exercises the share's locks.
                http_get(server.url("/set?t" + std::to_string(t) + "=" + std::to_string(f)));
                if (http_get(server.url("/page" + std::to_string(t))) == pattern_body(20000 + static_cast<std::size_t>(t)))
                    ++right[static_cast<std::size_t>(t)];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < thread_count; ++t) EXPECT_EQ(right[static_cast<std::size_t>(t)], fetches) << t;
    const std::string cookies = http_get(server.url("/cookies"));
    for (int t = 0; t < thread_count; ++t)
        EXPECT_NE(cookies.find("t" + std::to_string(t) + "=" + std::to_string(fetches - 1)), std::string::npos)
            << cookies;
}

}  // namespace
}  // namespace quorvelv
