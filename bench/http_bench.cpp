// http_get against a local server for a 15 KB and a 5 MB page, beside the curl command-line tool fetching the
// same addresses in the same run, and beside a bare socket read of the 5 MB page (the loopback's own speed).
//
//   http_bench [rounds]      (default 300 small and 30 large fetches per contender)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include "site/http.hpp"

extern char** environ;

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start) {
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// Runs a program with the arguments and waits; true when it exited with 0.
bool run(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t child;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The same request form as http_get asks for, one new connection per fetch.
std::vector<std::string> curl_tool(const std::string& address, int fetches) {
    std::vector<std::string> arguments = {"curl", "--http1.0", "--silent", "--fail-with-body"};
    for (int i = 0; i < fetches; ++i) {
        arguments.push_back(address);
        arguments.push_back("--output");
        arguments.push_back("/dev/null");
    }
    return arguments;
}

// A bare HTTP/1.0 GET on a socket, reading until the server closes: what loopback and the server can do.
std::size_t socket_fetch(int port, const std::string& target) {
    int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::size_t total = 0;
    if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (::send(socket, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
            static std::vector<char> buffer(102400);
            ssize_t got;
            while ((got = ::recv(socket, buffer.data(), buffer.size(), 0)) > 0) total += static_cast<std::size_t>(got);
        }
    }
    ::close(socket);
    return total;
}

struct figure {
    double per_request_ms = 0;
    double megabytes_per_second = 0;
};

figure measure(int fetches, std::size_t bytes, double seconds) {
    figure f;
    f.per_request_ms = seconds * 1000.0 / fetches;
    f.megabytes_per_second = static_cast<double>(bytes) * fetches / seconds / 1e6;
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const int small_rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const int large_rounds = std::max(3, small_rounds / 10);

    std::string small_page(15 * 1024, 'x');
    std::string large_page(5 * 1024 * 1024, 'y');
    for (std::size_t i = 0; i < large_page.size(); i += 97) large_page[i] = static_cast<char>('a' + i % 26);

    httplib::Server server;
    server.Get("/small", [&](const httplib::Request&, httplib::Response& res) { res.set_content(small_page, "text/html"); });
    server.Get("/large", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(large_page, "application/octet-stream");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    std::thread listener([&] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::string base = "http://127.0.0.1:" + std::to_string(port);

    struct page {
        const char* name;
        std::string target;
        const std::string* body;
        int rounds;
    };
    const page pages[] = {{"15 KB", "/small", &small_page, small_rounds}, {"5 MB", "/large", &large_page, large_rounds}};

    std::printf("%-6s %-34s %12s %10s\n", "page", "contender", "ms/request", "MB/s");
    bool all_right = true;
    for (const auto& p : pages) {
        const std::string address = base + p.target;
        // Warm up the session, the server and the page cache.
        all_right &= quorvelv::http_get(address) == *p.body;

        auto start = clock_type::now();
        for (int i = 0; i < p.rounds; ++i) all_right &= quorvelv::http_get(address).size() == p.body->size();
        const figure ours = measure(p.rounds, p.body->size(), seconds_since(start));

        start = clock_type::now();
        const bool tool_ran = run(curl_tool(address, p.rounds));
        const figure tool = measure(p.rounds, p.body->size(), seconds_since(start));

        const int spawned_rounds = std::max(3, p.rounds / 10);
        start = clock_type::now();
        for (int i = 0; i < spawned_rounds; ++i) run(curl_tool(address, 1));
        const figure spawned = measure(spawned_rounds, p.body->size(), seconds_since(start));

        start = clock_type::now();
        for (int i = 0; i < p.rounds; ++i) socket_fetch(port, p.target);
        const figure bare = measure(p.rounds, p.body->size(), seconds_since(start));

        std::printf("%-6s %-34s %12.3f %10.1f\n", p.name, "http_get", ours.per_request_ms, ours.megabytes_per_second);
        if (tool_ran) {
            std::printf("%-6s %-34s %12.3f %10.1f\n", p.name, "curl tool, one process, N fetches",
                        tool.per_request_ms, tool.megabytes_per_second);
            std::printf("%-6s %-34s %12.3f %10.1f\n", p.name, "curl tool, one process per fetch",
                        spawned.per_request_ms, spawned.megabytes_per_second);
        } else {
            std::printf("%-6s %-34s %12s\n", p.name, "curl tool", "not found");
        }
        std::printf("%-6s %-34s %12.3f %10.1f\n", p.name, "bare socket read", bare.per_request_ms,
                    bare.megabytes_per_second);
        if (tool_ran)
            std::printf("%-6s %-34s %12.2f\n", p.name, "http_get / curl tool (one process)",
                        ours.per_request_ms / tool.per_request_ms);
        std::printf("%-6s %-34s %12.2f\n", p.name, "http_get / bare socket", ours.per_request_ms / bare.per_request_ms);
    }

    server.stop();
    listener.join();
    if (!all_right) {
        std::fprintf(stderr, "a fetch returned the wrong bytes\n");
        return 1;
    }
    return 0;
}
