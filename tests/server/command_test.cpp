// The quorvelv-site executable: admin commands on a database, and a served site that stops cleanly on a signal.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include "server/store.hpp"
#include "tests/server/site_fixture.hpp"

extern char** environ;

namespace quorvelv {
namespace {

using server_tests::gbk;
using server_tests::temp_dir;

struct finished {
    int exit_code = -1;
    std::string out, err;
};

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<char*> argv_of(std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    return argv;
}

finished run_site(const temp_dir& dir, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), QUORVELV_SITE_EXECUTABLE);
    std::vector<char*> argv = argv_of(arguments);
    const std::string out_path = dir.path + "/out.txt";
    const std::string err_path = dir.path + "/err.txt";
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    finished result;
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&files);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

TEST(site_command, reviews_pending_resources_and_sets_the_notice) {
    temp_dir dir;
    const std::string db = dir.path + "/site.db";
    std::int64_t first = 0, second = 0;
    {
        store_handle store = open_store(db);
        first = add_resource(*store, server_tests::sample_resource(gbk("待审资源")), review_state::pending);
        second = add_resource(*store, server_tests::sample_resource("\x1b[2Jsecond"), review_state::pending);
    }
    finished listed = run_site(dir, {"pending", "--db", db});
    EXPECT_EQ(listed.exit_code, 0) << listed.err;
    EXPECT_NE(listed.out.find("待审资源"), std::string::npos) << listed.out;  // shown as UTF-8
    EXPECT_NE(listed.out.find("\\x1B[2Jsecond"), std::string::npos) << listed.out;  // never raw control bytes

    EXPECT_EQ(run_site(dir, {"approve", std::to_string(first), "--db", db}).exit_code, 0);
    EXPECT_EQ(run_site(dir, {"--db", db, "reject", std::to_string(second)}).exit_code, 0);
    EXPECT_EQ(run_site(dir, {"notice", "1", "--db", db}).exit_code, 0);
    EXPECT_EQ(run_site(dir, {"pending", "--db", db}).out, "no resources waiting for review\n");
    {
        store_handle store = open_store(db);
        EXPECT_EQ(find_resource(*store, first)->state, review_state::approved);
        EXPECT_EQ(find_resource(*store, second)->state, review_state::rejected);
        EXPECT_EQ(notice_text(*store), "1");
    }

    const finished unknown = run_site(dir, {"approve", "999", "--db", db});
    EXPECT_EQ(unknown.exit_code, 1);
    EXPECT_NE(unknown.err.find("no resource 999"), std::string::npos);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"approve", "abc", "--db", db},
                                                std::vector<std::string>{"approve", "1"},
                                                std::vector<std::string>{"pending", "--db"},
                                                std::vector<std::string>{"serve", "--db", db, "--port", "70000"},
                                                std::vector<std::string>{"launch", "--db", db},
                                                std::vector<std::string>{}}) {
        EXPECT_EQ(run_site(dir, bad).exit_code, 2) << (bad.empty() ? "" : bad[0]);
    }
    EXPECT_EQ(run_site(dir, {"--help"}).exit_code, 0);
}

// Reads the child's stderr until `marker` shows, or gives up after a few seconds.
std::string wait_for_line(int fd, std::string& seen, const std::string& marker) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::size_t at = seen.find(marker);
        if (at != std::string::npos && seen.find('\n', at) != std::string::npos) {
            return seen.substr(at, seen.find('\n', at) - at);
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    return {};
}

TEST(site_command, serves_demo_data_logs_requests_and_stops_on_sigterm) {
    temp_dir dir;
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    std::vector<std::string> words = {QUORVELV_SITE_EXECUTABLE, "serve", "--db", dir.path + "/site.db", "--port",
                                      "0", "--demo", "--page-size", "10"};
    std::vector<char*> argv = argv_of(words);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, pipe_ends[1], 2);
    posix_spawn_file_actions_addclose(&files, pipe_ends[0]);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&files);
    close(pipe_ends[1]);

    std::string seen;
    const std::string serving = wait_for_line(pipe_ends[0], seen, "serving http://127.0.0.1:");
    ASSERT_FALSE(serving.empty()) << seen;
    const int port = std::stoi(serving.substr(std::string("serving http://127.0.0.1:").size()));

    httplib::Client client("127.0.0.1", port);
    auto page = client.Get("/jcbh1.php?yms=1");
    ASSERT_TRUE(page);
    EXPECT_EQ(server_tests::parse_with_client_defaults(page->body).size(), 10u);
    EXPECT_FALSE(wait_for_line(pipe_ends[0], seen, "\"GET /jcbh1.php?yms=1\" 200").empty()) << seen;

    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_FALSE(wait_for_line(pipe_ends[0], seen, "quorvelv-site: stopped").empty()) << seen;
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    close(pipe_ends[0]);

    // A second start on the same database keeps what is there.
    const finished again = run_site(dir, {"pending", "--db", dir.path + "/site.db"});
    EXPECT_EQ(again.exit_code, 0);
    store_handle store = open_store(dir.path + "/site.db");
    EXPECT_EQ(count_resources(*store, review_state::approved), 45);
}

}  // namespace
}  // namespace quorvelv
