// The whole program as a subprocess (the test build of it, which takes the site's address and a scripted user
// from its environment): how it ends, with which exit code, and whether the exit hook ran.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/listing/listing_page_builder.hpp"
#include "tests/support/test_server.hpp"

extern char** environ;

namespace {

using namespace std::chrono_literals;

struct run_result {
    int exit_code = -1;  // -1 when it did not end in time (it was killed) or died of a signal
    int signal = 0;
    std::string out, err;
    bool contains(const std::string& marker) const { return out.find(marker) != std::string::npos; }
    int count(const std::string& marker) const {
        int n = 0;
        for (auto at = out.find(marker); at != std::string::npos; at = out.find(marker, at + 1)) ++n;
        return n;
    }
};

std::string read_all(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

run_result run_program(const std::map<std::string, std::string>& settings,
                       std::chrono::milliseconds timeout = 30s) {
    std::map<std::string, std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const auto equals = text.find('=');
        if (equals != std::string::npos) environment[text.substr(0, equals)] = text.substr(equals + 1);
    }
    environment["QT_QPA_PLATFORM"] = "offscreen";
    for (const auto& [key, value] : settings) environment[key] = value;
    std::vector<std::string> entries;
    for (const auto& [key, value] : environment) entries.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (auto& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);

    char out_path[] = "/tmp/quorvelv-program-out-XXXXXX";
    char err_path[] = "/tmp/quorvelv-program-err-XXXXXX";
    const int out_fd = mkstemp(out_path);
    const int err_fd = mkstemp(err_path);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
    posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    char program[] = QUORVELV_PROGRAM_UNDER_TEST;
    char* argv[] = {program, nullptr};
    pid_t child = 0;
    run_result result;
    const int spawned = posix_spawn(&child, program, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out_fd);
    close(err_fd);
    if (spawned == 0) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        for (;;) {
            const pid_t done = waitpid(child, &status, WNOHANG);
            if (done == child) break;
            if (std::chrono::steady_clock::now() > deadline) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                status = -1;
                break;
            }
            std::this_thread::sleep_for(2ms);
        }
        if (status != -1 && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
        if (status != -1 && WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    }
    result.out = read_all(out_path);
    result.err = read_all(err_path);
    unlink(out_path);
    unlink(err_path);
    return result;
}

// A site that takes connections and never says a word: every fetch waits.
struct silent_site {
    silent_site() {
        socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(socket_, 128);  // never accepted: the kernel completes the handshakes, nobody answers
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~silent_site() { ::close(socket_); }
    std::string base_address() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    int socket_ = -1;
    int port_ = 0;
};

// What a sanitizer or Qt would print about a fault.
void expect_clean_end(const run_result& result) {
    EXPECT_EQ(result.err.find("Sanitizer"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("runtime error"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("QObject::"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("fatal"), std::string::npos) << result.err;
}

class program_test : public ::testing::Test {
protected:
    void SetUp() override {
        site.serve("/jcbh1.php", quorvelv::fixtures::listing_page_of(3));
        site.serve("/b1.txt", "1");
    }
    quorvelv::test_support::test_server site;
};

TEST_F(program_test, starts_fills_the_list_and_ends_with_0_on_esc_running_the_exit_hook_once) {
    const run_result result = run_program({{"QUORVELV_TEST_SITE", site.base_address()},
                                           {"QUORVELV_TEST_SCRIPT", "rows"},
                                           {"QUORVELV_TEST_ROWS", "3"}});
    EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
    EXPECT_TRUE(result.contains("shown"));
    EXPECT_TRUE(result.contains("rows 3"));
    EXPECT_EQ(result.count("exit hook"), 1);
    // The notice said "1": the home page, once.
    EXPECT_EQ(result.count("browser " + site.base_address()), 1) << result.out;
    std::size_t listing = 0, notice = 0;
    for (const auto& request : site.requests()) {
        listing += request.target == "/jcbh1.php?yms=0";
        notice += request.target == "/b1.txt";
    }
    EXPECT_EQ(listing, 1u);
    EXPECT_EQ(notice, 1u);
    expect_clean_end(result);
}

// The notice check and the first refresh wait for the site, helper threads wait on control requests, and the
// user closes the window at varying moments: the process ends at once, with 0, quietly.
TEST_F(program_test, closing_while_background_threads_are_blocked_ends_with_0) {
    const silent_site silent;
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const auto started = std::chrono::steady_clock::now();
        const run_result result = run_program({{"QUORVELV_TEST_SITE", silent.base_address()},
                                               {"QUORVELV_TEST_SCRIPT", "close-blocked"},
                                               {"QUORVELV_TEST_HAMMERS", "3"},
                                               {"QUORVELV_TEST_DELAY", std::to_string(round * 7)}});
        EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
        EXPECT_EQ(result.count("exit hook"), 1);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
        expect_clean_end(result);
    }
}

TEST_F(program_test, closing_while_a_long_page_fills_the_list_ends_with_0) {
    site.serve("/jcbh1.php", quorvelv::fixtures::listing_page_of(1000));
    for (int round = 0; round < 4; ++round) {
        const run_result result = run_program({{"QUORVELV_TEST_SITE", site.base_address()},
                                               {"QUORVELV_TEST_SCRIPT", "close-filling"}});
        EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
        EXPECT_EQ(result.count("exit hook"), 1);
        expect_clean_end(result);
    }
}

TEST_F(program_test, closing_another_window_of_the_program_does_not_end_it) {
    const run_result result = run_program({{"QUORVELV_TEST_SITE", site.base_address()},
                                           {"QUORVELV_TEST_SCRIPT", "second-window"}});
    EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
    EXPECT_TRUE(result.contains("still running")) << result.out;
    EXPECT_EQ(result.count("exit hook"), 1);
}

TEST_F(program_test, a_fatal_stop_shows_an_error_box_and_ends_with_255_without_the_exit_hook) {
    for (const char* script : {"fatal-ui", "fatal-background"}) {
        SCOPED_TRACE(script);
        const run_result result =
            run_program({{"QUORVELV_TEST_SITE", site.base_address()}, {"QUORVELV_TEST_SCRIPT", script}});
        EXPECT_EQ(result.exit_code, 255) << result.out << result.err;
        EXPECT_TRUE(result.contains("box Quorvelv.2.3: a fault on")) << result.out;
        EXPECT_EQ(result.count("exit hook"), 0);
        EXPECT_NE(result.err.find("quorvelv: fatal: a fault on"), std::string::npos) << result.err;
    }
}

}  // namespace
