// Whole processes: the program closed at random moments while refreshes, the notice check and a submission
// wait on a slow site, and several instances of the real executable started at once in one directory.
// Runs go in parallel batches; every random choice comes from a seed printed with any failure.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "resources/carried.hpp"
#include "tests/listing/listing_page_builder.hpp"
#include "tests/support/test_server.hpp"

extern char** environ;

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::uint32_t test_seed() {
    if (const char* given = std::getenv("QUORVELV_TEST_SEED")) return static_cast<std::uint32_t>(std::atol(given));
    return std::random_device{}() % 1000000;
}

std::string read_all(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

struct run_result {
    int exit_code = -1;  // -1: killed after the time ran out, or ended by a signal
    int signal = 0;
    bool hung = false;
    std::string out, err, stacks;
};

// One child process with its own output files; `finish` waits for it with a deadline.
struct child_process {
    pid_t pid = 0;
    fs::path out, err;
};

std::map<std::string, std::string> inherited_environment() {
    std::map<std::string, std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const auto equals = text.find('=');
        if (equals != std::string::npos) environment[text.substr(0, equals)] = text.substr(equals + 1);
    }
    environment["QT_QPA_PLATFORM"] = "offscreen";
    return environment;
}

child_process spawn(const std::string& program, std::map<std::string, std::string> environment,
                    const fs::path& output_directory, int index) {
    std::vector<std::string> entries;
    for (const auto& [key, value] : environment) entries.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (auto& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);

    child_process child;
    child.out = output_directory / ("out-" + std::to_string(index));
    child.err = output_directory / ("err-" + std::to_string(index));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, child.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, child.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string path = program;
    char* argv[] = {path.data(), nullptr};
    if (posix_spawn(&child.pid, path.c_str(), &actions, nullptr, argv, envp.data()) != 0) child.pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

run_result finish(const child_process& child, std::chrono::steady_clock::time_point deadline) {
    run_result result;
    if (child.pid <= 0) return result;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child.pid, &status, WNOHANG);
        if (done == child.pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            // Where it hangs, for the failure report, when a debugger is at hand.
            const std::string stacks = child.err.string() + ".stacks";
            const std::string command = "gdb -p " + std::to_string(child.pid) +
                                        " -batch -ex 'thread apply all bt' > " + stacks + " 2>&1";
            if (std::system("command -v gdb > /dev/null") == 0 && std::system(command.c_str()) >= 0)
                result.stacks = read_all(stacks);
            kill(child.pid, SIGKILL);
            waitpid(child.pid, &status, 0);
            result.hung = true;
            break;
        }
        std::this_thread::sleep_for(2ms);
    }
    if (!result.hung && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    if (!result.hung && WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    result.out = read_all(child.out);
    result.err = read_all(child.err);
    return result;
}

// A fault report of a sanitizer, Qt or the program's fatal stop.
void expect_clean(const run_result& result, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_FALSE(result.hung) << result.out << result.err << result.stacks;
    EXPECT_EQ(result.signal, 0) << result.err;
    EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
    for (const char* report : {"Sanitizer", "runtime error", "QObject::", "fatal", "terminate"})
        EXPECT_EQ(result.err.find(report), std::string::npos) << result.err;
}

class scratch_directory {
public:
    scratch_directory() {
        std::string pattern = (fs::temp_directory_path() / "quorvelv-reliability-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~scratch_directory() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// A site whose every answer waits a random while, and some never come before the test ends (a waiting
// handler lets go when the site is released, so the server can stop).
class slow_site {
public:
    explicit slow_site(std::uint32_t seed) : random_(seed) {
        const auto slow = [this](std::string body) {
            return [this, body](const httplib::Request&, httplib::Response& response) {
                wait_a_while();
                response.set_content(body, "text/html");
            };
        };
        server.on_get("/jcbh1.php", slow(quorvelv::fixtures::listing_page_of(30)));
        server.on_get("/b1.txt", slow("0"));
        server.on_post("/tjwz.php", slow("ok"));
    }
    ~slow_site() { release(); }

    void release() {
        {
            const std::lock_guard lock(mutex_);
            released_ = true;
        }
        changed_.notify_all();
    }
    std::string base_address() const { return server.base_address(); }
    std::size_t requests_to(const std::string& path) const {
        std::size_t count = 0;
        for (const auto& request : server.requests()) count += request.path() == path;
        return count;
    }

private:
    void wait_a_while() {
        std::unique_lock lock(mutex_);
        const int draw = static_cast<int>(random_() % 100);
        const auto delay = draw < 20 ? 10s : std::chrono::milliseconds(draw * 2);  // one in five: until released
        changed_.wait_for(lock, delay, [this] { return released_; });
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool released_ = false;
    std::mt19937 random_;

public:
    quorvelv::test_support::test_server server;  // after what its handlers use: it stops first
};

// One batch of shutdown runs of the program, `parallel` at a time, each closing at a random moment.
int shutdown_runs(const std::string& actions, int runs, int parallel) {
    const std::uint32_t seed = test_seed();
    SCOPED_TRACE("QUORVELV_TEST_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    slow_site site(seed);
    scratch_directory output;
    auto environment = inherited_environment();
    environment["QUORVELV_TEST_SITE"] = site.base_address();
    environment["QUORVELV_TEST_ACTIONS"] = actions;
    environment["TMPDIR"] = output.path().string();
    int done = 0;
    while (done < runs) {
        std::vector<child_process> children;
        std::vector<std::string> settings;
        for (int i = 0; i < parallel && done + i < runs; ++i) {
            const int close_ms = static_cast<int>(random() % 120);
            const int pages = static_cast<int>(random() % 6);
            environment["QUORVELV_TEST_CLOSE_MS"] = std::to_string(close_ms);
            environment["QUORVELV_TEST_PAGES"] = std::to_string(pages);
            settings.push_back(actions + " close " + std::to_string(close_ms) + " ms, pages " + std::to_string(pages));
            children.push_back(spawn(QUORVELV_SHUTDOWN_PROGRAM, environment, output.path(), done + i));
        }
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        for (std::size_t i = 0; i < children.size(); ++i) {
            const run_result result = finish(children[i], deadline);
            expect_clean(result, "run " + std::to_string(done + static_cast<int>(i)) + ": " + settings[i]);
            EXPECT_NE(result.out.find("exit hook"), std::string::npos) << result.out;
            // Only the program's own messages: no error box.
            std::istringstream lines(result.out);
            for (std::string line; std::getline(lines, line);) {
                if (line.starts_with("box ")) {
                    EXPECT_TRUE(line.starts_with("box 信息：")) << line;
                }
            }
        }
        done += static_cast<int>(children.size());
    }
    // The submissions did reach the site (a run may close before its post goes out, not all of them).
    if (actions.find("publish") != std::string::npos) {
        EXPECT_GT(site.requests_to("/tjwz.php"), 0u);
    }
    site.release();
    return done;
}

// Each run closes the program while its first refresh, the pages the user asked for and the notice check
// are in flight, or have just ended.
TEST(shutdown_runs, closing_while_refreshes_and_the_notice_check_wait_ends_with_0) {
    EXPECT_EQ(shutdown_runs("pages", 40, 4), 40);
}

// The same with a submission waiting on the site after the user closed its window.
TEST(shutdown_runs, closing_while_a_submission_waits_ends_with_0) {
    EXPECT_EQ(shutdown_runs("publish", 30, 4), 30);
}

TEST(shutdown_runs, closing_with_everything_in_flight_ends_with_0) {
    EXPECT_EQ(shutdown_runs("pages publish", 30, 4), 30);
}

// An exception escaping a background routine would end the process through std::terminate; it is the fatal
// stop instead: the error box, exit code 255, no exit hook.
TEST(shutdown_runs, a_failed_allocation_in_a_background_routine_is_a_fatal_stop) {
    scratch_directory output;
    const quorvelv::test_support::test_server site;
    auto environment = inherited_environment();
    environment["QUORVELV_TEST_SITE"] = site.base_address();
    environment["QUORVELV_TEST_ACTIONS"] = "throw";
    environment["TMPDIR"] = output.path().string();
    const run_result result = finish(spawn(QUORVELV_SHUTDOWN_PROGRAM, environment, output.path(), 0),
                                     std::chrono::steady_clock::now() + 20s);
    EXPECT_EQ(result.exit_code, 255) << result.out << result.err;
    EXPECT_NE(result.out.find("box Quorvelv.2.3: std::bad_alloc"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("exit hook"), std::string::npos);
    EXPECT_EQ(result.err.find("terminate"), std::string::npos) << result.err;
}

// The real executable, `count` instances started together from one program directory with one temporary
// directory. Each one writes both files at start; at the end they must be whole.
void start_instances_together(int count) {
    SCOPED_TRACE(std::to_string(count) + " instances");
    scratch_directory directory, temporary, output;
    const fs::path program = directory.path() / "quorvelv";
    fs::copy_file(QUORVELV_PROGRAM_FILE, program);
    // A site of our own, reached as the environment's proxy: the built-in address is not ours to talk to.
    quorvelv::test_support::test_server site;
    auto environment = inherited_environment();
    environment["TMPDIR"] = temporary.path().string();
    environment["http_proxy"] = site.base_address();
    environment.erase("no_proxy");
    environment.erase("NO_PROXY");
    environment.erase("LD_LIBRARY_PATH");
    environment["LD_PRELOAD"] = QUORVELV_WATCH_LIBRARY;
    const fs::path close_signal = output.path() / "close";
    environment["QUORVELV_WATCH_CLOSE_WHEN"] = close_signal.string();
    const auto asan = environment["ASAN_OPTIONS"];
    environment["ASAN_OPTIONS"] = (asan.empty() ? "" : asan + ":") + "verify_asan_link_order=0";

    std::vector<child_process> children;
    for (int i = 0; i < count; ++i) children.push_back(spawn(program.string(), environment, output.path(), i));
    // Every one shows its window before any is closed: they all ran at once.
    const std::string shown = "watch: shown Quorvelv.2.3 skinned=1";
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    for (const auto& child : children) {
        while (read_all(child.err).find(shown) == std::string::npos && std::chrono::steady_clock::now() < deadline &&
               waitpid(child.pid, nullptr, WNOHANG) == 0)
            std::this_thread::sleep_for(5ms);
    }
    std::ofstream(close_signal) << "close";
    for (std::size_t i = 0; i < children.size(); ++i) {
        const run_result result = finish(children[i], deadline);
        expect_clean(result, "instance " + std::to_string(i));
        EXPECT_NE(result.err.find(shown), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("watch: box"), std::string::npos) << result.err;
    }
    EXPECT_EQ(read_all(directory.path() / "hrttp.dll"), quorvelv::engine_library_image());
    EXPECT_EQ(read_all(temporary.path() / "1.she"), quorvelv::skin_image(38));
    // Nothing half-written left beside them.
    for (const auto& folder : {directory.path(), temporary.path()})
        for (const auto& entry : fs::directory_iterator(folder)) {
            const auto name = entry.path().filename().string();
            EXPECT_TRUE(name == "quorvelv" || name == "hrttp.dll" || name == "1.she" || name.starts_with("runtime-"))
                << name;
        }
}

TEST(instances, two_then_five_started_together_all_run_and_leave_whole_files) {
    start_instances_together(2);
    start_instances_together(5);
}

}  // namespace
