// http_get / http_post against a real local server: request form, bodies, faults, schemes.

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include <stdlib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "site/endpoints.hpp"
#include "site/http.hpp"
#include "site/http_settings.hpp"
#include "tests/support/test_server.hpp"

namespace quorvelv {
namespace {

using namespace std::chrono_literals;
using test_support::pattern_body;
using test_support::test_server;

using clock_type = std::chrono::steady_clock;

TEST(TextFromBytes, TakesTheBytesUpToTheFirstZeroByte) {
    using namespace std::string_literals;
    struct example {
        std::string bytes, text;
    };
    const example examples[] = {
        {"1\r\n"s, "1\r\n"s},                    // no trimming, no line-end conversion
        {"abcd\0fgh"s, "abcd"s},                 // fifth byte zero
        {"\0abc"s, ""s},                         // leading zero byte
        {""s, ""s},                              //
        {"\xef\xbb\xbf\xb2\xe2\xca\xd4"s, "\xef\xbb\xbf\xb2\xe2\xca\xd4"s},  // BOM and GBK bytes kept as they are
    };
    for (const auto& [bytes, text] : examples) EXPECT_EQ(text_from_bytes(bytes), text);
}

class HttpGet : public ::testing::Test {
protected:
    test_server server;
};

TEST_F(HttpGet, SendsExactlyTheRequestForm) {
    server.serve("/jcbh1.php", "listing");
    set_site_base_address_for_tests(server.base_address());
    EXPECT_EQ(http_get(listing_page_url(-3)), "listing");

    ASSERT_EQ(server.request_count(), 1u);
    const auto request = server.requests().front();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/jcbh1.php?yms=-3");
    EXPECT_EQ(request.version, "HTTP/1.0");
    EXPECT_EQ(request.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    EXPECT_EQ(request.header("Accept"), "*/*");
    EXPECT_EQ(request.header("Pragma"), "no-cache");
    EXPECT_EQ(request.header("Cache-Control"), "no-cache, no-store");
    EXPECT_EQ(request.header("Host"), "127.0.0.1:" + std::to_string(server.port()));
    // Nothing else: no Referer, no keep-alive, no compression, no conditional request. A cookie of an
    // earlier test in this process may ride along (cookies are not told apart by port).
    const std::set<std::string> expected = {"Host", "User-Agent", "Accept", "Pragma", "Cache-Control"};
    for (const auto& [name, value] : request.headers) {
        if (name == "Cookie") continue;
        EXPECT_TRUE(expected.count(name)) << "unexpected header " << name << ": " << value;
    }
}

TEST_F(HttpGet, LeavesTheFragmentOffTheWire) {
    server.serve("/page", "p");
    EXPECT_EQ(http_get(server.url("/page?a=1#section?b=2")), "p");
    EXPECT_EQ(http_get(server.url("/page#")), "p");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/page?a=1");
    EXPECT_EQ(requests[1].target, "/page");
}

TEST_F(HttpGet, SendsTheAddressUnencoded) {
    // Percent sequences, valid or not, and the query's GBK bytes go out exactly as written. Bytes of 0x80 and
    // more in the path cannot go raw on a request line: libcurl escapes them, which the server decodes back.
    http_get(server.url("/a\xb2\xe2/%41b/./../c?q=\xca\xd4&r=%zz+1"));
    ASSERT_EQ(server.request_count(), 1u);
    EXPECT_EQ(server.requests()[0].target, "/a%b2%e2/%41b/./../c?q=\xca\xd4&r=%zz+1");
}

TEST_F(HttpGet, ReturnsTheBodyOfAnErrorStatus) {
    for (int status : {404, 500, 503}) {
        const std::string page = "<html><body>status " + std::to_string(status) + "</body></html>";
        EXPECT_EQ(http_get(server.status_url(status, page)), page);
    }
}

TEST_F(HttpGet, ReadsABodyWithoutContentLengthToItsEnd) {
    for (std::size_t size : {std::size_t{1}, std::size_t{10240}, std::size_t{10241}, std::size_t{300000}})
        EXPECT_EQ(http_get(server.unsized_url(size)), pattern_body(size)) << size;
}

TEST_F(HttpGet, ReturnsABodyLargerThanTheReadBufferWhole) {
    const std::string body = pattern_body(1'000'003);
    server.serve("/big", body, "application/octet-stream");
    EXPECT_EQ(http_get(server.url("/big")), body);
}

TEST_F(HttpGet, ReturnsTheBytesBeforeACut) {
    for (bool reset : {true, false}) {
        for (std::size_t sent : {std::size_t{0}, std::size_t{5000}, std::size_t{250000}}) {
            EXPECT_EQ(http_get(server.cut_url(sent, sent + 100000, reset)), pattern_body(sent))
                << "sent " << sent << (reset ? ", then reset" : ", then closed");
        }
    }
}

TEST_F(HttpGet, FollowsRedirectsWithoutTheirBodies) {
    test_server other;
    other.serve("/landing", "arrived");
    server.serve("/here", "here too");
    EXPECT_EQ(http_get(server.redirect_url(other.url("/landing"), 301)), "arrived");
    EXPECT_EQ(http_get(server.redirect_url("/here", 302)), "here too");
    EXPECT_EQ(http_get(server.redirect_url(server.redirect_url("/here", 307), 303)), "here too");
    ASSERT_EQ(other.request_count(), 1u);
    EXPECT_EQ(other.requests()[0].version, "HTTP/1.0");
    EXPECT_FALSE(other.requests()[0].has_header("Referer"));
}

TEST_F(HttpGet, StopsARedirectLoop) {
    const auto started = clock_type::now();
    const std::string body = http_get(server.redirect_loop_url());
    EXPECT_LT(clock_type::now() - started, 5s);
    // The first request and a bounded number of hops, then the fetch gives up.
    EXPECT_EQ(server.request_count(), 21u);
    EXPECT_EQ(body.find("round again"), std::string::npos);
}

TEST_F(HttpGet, RefusesEveryOtherSchemeAndTouchesNothing) {
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    const std::vector<std::string> addresses = {"file:///etc/hostname", "ftp://" + host + "/x", "gopher://" + host + "/x",
                                      "dict://" + host + "/x", host + "/x", "//" + host + "/x", "", "#",
                                      "http://", "http:// bad/", "http://" + host + "/a\r\nX-Injected: 1",
                                      "http://" + host + std::string("/a\0/b", 5)};
    for (const auto& address : addresses) EXPECT_EQ(http_get(address), "") << address;
    EXPECT_EQ(server.request_count(), 0u);
}

TEST_F(HttpGet, DoesNotFollowARedirectToAnotherScheme) {
    for (const char* location : {"file:///etc/passwd", "ftp://127.0.0.1/", "gopher://127.0.0.1/"})
        EXPECT_EQ(http_get(server.redirect_url(location)), "") << location;
    EXPECT_EQ(server.request_count(), 3u);
}

TEST_F(HttpGet, AcceptsTheSchemeInAnyCase) {
    server.serve("/b1.txt", "1");
    EXPECT_EQ(http_get("HTTP://127.0.0.1:" + std::to_string(server.port()) + "/b1.txt"), "1");
}

TEST(HttpGetUnreachable, ConnectionRefusedGivesEmptyBytesAtOnce) {
    // A port that was free a moment ago: nobody listens there.
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::close(probe);

    const auto started = clock_type::now();
    EXPECT_EQ(http_get("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/b1.txt"), "");
    EXPECT_EQ(http_get("http://name-that-does-not-resolve.invalid/b1.txt"), "");
    EXPECT_LT(clock_type::now() - started, 5s);
}

// The desktop's proxy setting, as the environment gives it to every program on this platform.
class HttpGetProxy : public HttpGet {
protected:
    void TearDown() override {
        ::unsetenv("http_proxy");
        ::unsetenv("no_proxy");
    }
};

TEST_F(HttpGetProxy, GoesThroughTheProxyTheEnvironmentNames) {
    ::setenv("http_proxy", server.base_address().c_str(), 1);
    // A proxy sees the whole address as the request target.
    server.serve("http://site.invalid/jcbh1.php", "listing via the proxy");
    EXPECT_EQ(http_get("http://site.invalid/jcbh1.php?yms=2#top"), "listing via the proxy");
    ASSERT_EQ(server.request_count(), 1u);
    const auto request = server.requests()[0];
    EXPECT_EQ(request.target, "http://site.invalid/jcbh1.php?yms=2");
    EXPECT_EQ(request.header("Host"), "site.invalid");
    EXPECT_EQ(request.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    EXPECT_FALSE(request.has_header("Proxy-Authorization"));

    // Hosts the environment exempts go direct (and this one does not resolve).
    ::setenv("no_proxy", "site.invalid", 1);
    EXPECT_EQ(http_get("http://site.invalid/jcbh1.php?yms=3"), "");
    EXPECT_EQ(server.request_count(), 1u);
}

class HttpGetStall : public HttpGet {
protected:
    void SetUp() override { set_stall_guard_for_tests(1); }
    void TearDown() override { set_stall_guard_for_tests(http_stall_guard_seconds); }
};

TEST_F(HttpGetStall, GivesUpOnAServerThatNeverAnswers) {
    const auto started = clock_type::now();
    EXPECT_EQ(http_get(server.silent_url()), "");
    const auto waited = clock_type::now() - started;
    EXPECT_GE(waited, 900ms);
    EXPECT_LT(waited, 4s);
    EXPECT_EQ(server.request_count(), 1u);  // the request did go out: it is the answer that never came
}

TEST_F(HttpGetStall, KeepsTheBytesBeforeTheBodyStalls) {
    const auto started = clock_type::now();
    EXPECT_EQ(http_get(server.drip_url(2, 7000, 60s)), pattern_body(7000));
    EXPECT_LT(clock_type::now() - started, 4s);
}

TEST_F(HttpGetStall, LetsASlowButMovingDownloadFinishPastTheGuard) {
    // Six pieces 300 ms apart: longer in total than the guard, but never still for long.
    const auto started = clock_type::now();
    EXPECT_EQ(http_get(server.drip_url(6, 100, 300ms)), pattern_body(600));
    EXPECT_GE(clock_type::now() - started, 1400ms);
}

TEST_F(HttpGet, PostSendsTheBodyUnchangedWithItsContentType) {
    server.on_post("/tjwz.php", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html>ok</html>", "text/html");
    });
    const std::string body = "wzbt=a%26b%3Dc%2B%25&wznr=%B2%E2&wzlb=2&mwlb=1&mwmm=%CE%DE&djtj=sad";
    EXPECT_EQ(http_post(server.url("/tjwz.php"), body, "application/x-www-form-urlencoded"), "<html>ok</html>");

    ASSERT_EQ(server.request_count(), 1u);
    const auto request = server.requests().front();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/tjwz.php");
    EXPECT_EQ(request.version, "HTTP/1.0");
    EXPECT_EQ(request.body, body);
    EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(request.header("Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(request.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    EXPECT_EQ(request.header("Accept"), "*/*");
    EXPECT_FALSE(request.has_header("Referer"));
    EXPECT_FALSE(request.has_header("Expect"));
}

TEST_F(HttpGet, PostKeepsBinaryAndLargeBodiesAndReturnsErrorPages) {
    server.on_post("/echo", [](const httplib::Request& req, httplib::Response& res) {
        res.status = 500;
        res.set_content(req.body, "application/octet-stream");
    });
    using namespace std::string_literals;
    for (const std::string& body : {""s, "a\0b\r\n\xff"s, pattern_body(200000)})
        EXPECT_EQ(http_post(server.url("/echo"), body, "application/octet-stream"), body) << body.size();
}

TEST_F(HttpGet, PostRefusesWhatGetRefuses) {
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    EXPECT_EQ(http_post("", "x=1", "application/x-www-form-urlencoded"), "");
    EXPECT_EQ(http_post("ftp://" + host + "/", "x=1", "application/x-www-form-urlencoded"), "");
    // A content type that would smuggle a header in is refused too.
    EXPECT_EQ(http_post(server.url("/tjwz.php"), "x=1", "text/plain\r\nX-Injected: 1"), "");
    EXPECT_EQ(server.request_count(), 0u);
}

}  // namespace
}  // namespace quorvelv
