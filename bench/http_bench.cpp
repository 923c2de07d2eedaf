// http_get against a local server for a 15 KB and a 5 MB page, beside the curl command-line tool fetching the
// same addresses in the same run, and beside a bare socket read (the loopback's own speed).
//
// The tool throws the body away (--output /dev/null) while http_get must keep it, so two like-for-like
// contenders stand beside it: the tool writing every body to a file in /dev/shm (kept in memory), and a libcurl
// loop in this process with the options the tool sets (curl --libcurl) that discards the body. The machine is
// shared and noisy: every contender runs in each of several trials, in turn, and the medians are printed.
//
//   http_bench [rounds] [trials]   (default 300 small and 30 large fetches per contender and trial, 7 trials)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <curl/curl.h>
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

// The same request form as http_get asks for, one new connection per fetch; each body goes to the matching
// output (/dev/null, or a file of its own).
std::vector<std::string> curl_tool(const std::string& address, const std::vector<std::string>& outputs) {
    std::vector<std::string> arguments = {"curl", "--http1.0", "--silent", "--fail-with-body"};
    for (const auto& output : outputs) {
        arguments.push_back(address);
        arguments.push_back("--output");
        arguments.push_back(output);
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

std::size_t count_bytes(char*, std::size_t size, std::size_t count, void* total) {
    *static_cast<std::size_t*>(total) += size * count;
    return size * count;
}

// libcurl with the options the tool sets for these addresses (curl --libcurl), the body counted and dropped.
std::size_t discarding_fetch(const std::string& address) {
    std::size_t total = 0;
    CURL* h = curl_easy_init();
    if (!h) return 0;
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 102400L);
    curl_easy_setopt(h, CURLOPT_URL, address.c_str());
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 50L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(h, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &count_bytes);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &total);
    curl_easy_perform(h);
    curl_easy_cleanup(h);
    return total;
}

long minor_faults(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_minflt;
}

// One contender's trials: milliseconds per request and page faults per request (of this process, or of the
// tool's when it runs as a child).
struct contender {
    const char* name;
    std::function<bool()> trial;  // false when it could not run
    bool child = false;
    std::vector<double> ms_per_request;
    std::vector<double> faults_per_request;
    bool ran = true;
};

contender make_contender(const char* name, std::function<bool()> trial, bool child = false) {
    contender c;
    c.name = name;
    c.trial = std::move(trial);
    c.child = child;
    return c;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const int small_rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const int large_rounds = std::max(3, small_rounds / 10);
    const int trials = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

    std::string small_page(15 * 1024, 'x');
    std::string large_page(5 * 1024 * 1024, 'y');
    for (std::size_t i = 0; i < large_page.size(); i += 97) large_page[i] = static_cast<char>('a' + i % 26);

    httplib::Server server;
    // One worker: the fetches come one at a time anyway, and every worker of a pool takes its first large
    // body into fresh memory of its own (1280 page faults for 5 MB), which would be charged to whichever
    // contender happens to meet that worker first.
    server.new_task_queue = [] { return new httplib::ThreadPool(1); };
    server.Get("/small",
               [&](const httplib::Request&, httplib::Response& res) { res.set_content(small_page, "text/html"); });
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

    struct stat shm {};
    const bool have_shm = ::stat("/dev/shm", &shm) == 0 && S_ISDIR(shm.st_mode);
    const std::string shm_prefix = "/dev/shm/quorvelv-http-bench-" + std::to_string(::getpid()) + "-";

    struct page {
        const char* name;
        std::string target;
        const std::string* body;
        int rounds;
    };
    const page pages[] = {{"15 KB", "/small", &small_page, small_rounds},
                          {"5 MB", "/large", &large_page, large_rounds}};

    std::printf("%d trials; medians\n", trials);
    std::printf("%-6s %-36s %12s %16s %10s %14s\n", "page", "contender", "ms/request", "(min..max)", "MB/s",
                "faults/request");
    bool all_right = true;
    for (const auto& p : pages) {
        const std::string address = base + p.target;
        // Warm up the session, the server and the page cache, until a fetch no longer touches new memory in
        // this process (the server's and the client's heaps grow to the page's size over the first fetches).
        all_right &= quorvelv::http_get(address) == *p.body;
        for (int i = 0; i < 10; ++i) {
            const long faults_before = minor_faults(RUSAGE_SELF);
            all_right &= quorvelv::http_get(address) == *p.body;
            if (minor_faults(RUSAGE_SELF) == faults_before) break;
        }

        const std::vector<std::string> to_null(static_cast<std::size_t>(p.rounds), "/dev/null");
        std::vector<std::string> to_files;
        for (int i = 0; i < p.rounds; ++i) to_files.push_back(shm_prefix + std::to_string(i));
        const int spawned_rounds = std::max(3, p.rounds / 10);

        std::vector<contender> contenders;
        contenders.push_back(make_contender("http_get", [&] {
            for (int i = 0; i < p.rounds; ++i) all_right &= quorvelv::http_get(address).size() == p.body->size();
            return true;
        }));
        contenders.push_back(make_contender(
            "curl tool, one process, N fetches", [&] { return run(curl_tool(address, to_null)); }, true));
        contenders.push_back(make_contender(
            "curl tool, N fetches to /dev/shm",
            [&] {
                if (!have_shm) return false;
                const bool ran = run(curl_tool(address, to_files));
                for (const auto& file : to_files) ::unlink(file.c_str());
                return ran;
            },
            true));
        contenders.push_back(make_contender("libcurl as the tool, discarding", [&] {
            for (int i = 0; i < p.rounds; ++i) all_right &= discarding_fetch(address) == p.body->size();
            return true;
        }));
        contenders.push_back(make_contender("bare socket read", [&] {
            for (int i = 0; i < p.rounds; ++i) socket_fetch(port, p.target);
            return true;
        }));
        const std::size_t tool = 1, tool_shm = 2, discarding = 3, bare = 4;

        // In turn within each trial, the first contender moving on by one each trial, so that no contender
        // always follows the same one.
        for (int t = 0; t < trials; ++t) {
            for (std::size_t k = 0; k < contenders.size(); ++k) {
                auto& c = contenders[(k + static_cast<std::size_t>(t)) % contenders.size()];
                if (!c.ran) continue;
                const int who = c.child ? RUSAGE_CHILDREN : RUSAGE_SELF;
                const long faults_before = minor_faults(who);
                const auto start = clock_type::now();
                c.ran = c.trial();
                const double seconds = seconds_since(start);
                c.ms_per_request.push_back(seconds * 1000.0 / p.rounds);
                c.faults_per_request.push_back(static_cast<double>(minor_faults(who) - faults_before) / p.rounds);
            }
        }

        contender spawned = make_contender(
            "curl tool, one process per fetch",
            [&] {
                for (int i = 0; i < spawned_rounds; ++i) run(curl_tool(address, {"/dev/null"}));
                return true;
            },
            true);
        {
            const long faults_before = minor_faults(RUSAGE_CHILDREN);
            const auto start = clock_type::now();
            spawned.trial();
            spawned.ms_per_request.push_back(seconds_since(start) * 1000.0 / spawned_rounds);
            spawned.faults_per_request.push_back(static_cast<double>(minor_faults(RUSAGE_CHILDREN) - faults_before) /
                                                 spawned_rounds);
            spawned.ran = contenders[tool].ran;
        }

        auto ms = [](const contender& c) { return median(c.ms_per_request); };
        auto show = [&](const contender& c) {
            if (!c.ran) {
                std::printf("%-6s %-36s %12s\n", p.name, c.name, "could not run");
                return;
            }
            const double per_request = ms(c);
            const auto [least, most] = std::minmax_element(c.ms_per_request.begin(), c.ms_per_request.end());
            std::printf("%-6s %-36s %12.3f %7.3f..%-7.3f %10.1f %14.0f\n", p.name, c.name, per_request, *least, *most,
                        static_cast<double>(p.body->size()) / per_request / 1e3, median(c.faults_per_request));
        };
        for (const auto& c : contenders) show(c);
        show(spawned);
        auto ratio = [&](const char* name, const contender& against) {
            if (against.ran) std::printf("%-6s %-36s %12.2f\n", p.name, name, ms(contenders[0]) / ms(against));
        };
        ratio("http_get / curl tool (one process)", contenders[tool]);
        ratio("like for like: / tool to /dev/shm", contenders[tool_shm]);
        ratio("like for like: / libcurl discarding", contenders[discarding]);
        ratio("http_get / bare socket", contenders[bare]);
    }

    server.stop();
    listener.join();
    if (!all_right) {
        std::fprintf(stderr, "a fetch returned the wrong bytes\n");
        return 1;
    }
    return 0;
}
