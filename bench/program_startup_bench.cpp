// Start-up of the program (its test build, which differs only in taking the site's address from the
// environment): from the process's spawn to the main window's first show, to the first page's rows, and the
// peak memory (maximum resident set) of a run that starts, fills the list and ends.
//
//   program_startup_bench [--runs 20]
// Runs under QT_QPA_PLATFORM as set (offscreen when unset; with DISPLAY and QT_QPA_PLATFORM=xcb under Xvfb
// and a window manager it measures the real thing).

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/listing/listing_page_builder.hpp"
#include "tests/support/test_server.hpp"

extern char** environ;

namespace {

long long monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

struct run_figures {
    double to_shown_ms = -1, to_rows_ms = -1, peak_rss_mb = -1;
    int exit_code = -1;
};

long long marker_time(const std::string& output, const std::string& marker) {
    const auto at = output.find(marker + " ");
    if (at == std::string::npos) return -1;
    std::istringstream rest(output.substr(at + marker.size() + 1));
    long long value = -1;
    rest >> value;
    if (marker == "rows") rest >> value;  // "rows <count> <time>"
    return value;
}

run_figures run_once(const std::string& site, int rows) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry)
        if (std::strncmp(*entry, "QUORVELV_TEST_", 14) != 0) entries.emplace_back(*entry);
    if (!std::getenv("QT_QPA_PLATFORM")) entries.emplace_back("QT_QPA_PLATFORM=offscreen");
    entries.push_back("QUORVELV_TEST_SITE=" + site);
    entries.emplace_back("QUORVELV_TEST_SCRIPT=rows");
    entries.push_back("QUORVELV_TEST_ROWS=" + std::to_string(rows));
    std::vector<char*> envp;
    for (auto& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);

    char out_path[] = "/tmp/quorvelv-startup-XXXXXX";
    const int out_fd = mkstemp(out_path);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char program[] = QUORVELV_PROGRAM_UNDER_TEST;
    char* argv[] = {program, nullptr};
    pid_t child = 0;
    run_figures figures;
    const long long spawned_at = monotonic_ns();
    if (posix_spawn(&child, program, &actions, nullptr, argv, envp.data()) == 0) {
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        figures.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        figures.peak_rss_mb = usage.ru_maxrss / 1024.0;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out_fd);
    std::ifstream file(out_path);
    std::ostringstream text;
    text << file.rdbuf();
    unlink(out_path);
    const long long shown = marker_time(text.str(), "shown");
    const long long filled = marker_time(text.str(), "rows");
    if (shown > 0) figures.to_shown_ms = (shown - spawned_at) / 1e6;
    if (filled > 0) figures.to_rows_ms = (filled - spawned_at) / 1e6;
    return figures;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 20;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));

    quorvelv::test_support::test_server site;
    site.serve("/jcbh1.php", quorvelv::fixtures::listing_page_of(20));
    site.serve("/b1.txt", "0");

    run_once(site.base_address(), 20);  // warm the file system caches
    std::vector<double> shown, filled, rss;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        const run_figures figures = run_once(site.base_address(), 20);
        if (figures.exit_code != 0 || figures.to_shown_ms < 0) {
            ++failures;
            continue;
        }
        shown.push_back(figures.to_shown_ms);
        filled.push_back(figures.to_rows_ms);
        rss.push_back(figures.peak_rss_mb);
    }
    std::printf("platform %s, %d runs (%d failed)\n", std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "offscreen",
                runs, failures);
    std::printf("spawn to first show        median %7.1f ms   max %7.1f ms\n", median(shown),
                shown.empty() ? -1 : *std::max_element(shown.begin(), shown.end()));
    std::printf("spawn to 20 rows listed    median %7.1f ms\n", median(filled));
    std::printf("peak RSS (start, fill, end) median %6.1f MB  max %6.1f MB\n", median(rss),
                rss.empty() ? -1 : *std::max_element(rss.begin(), rss.end()));
    return failures == 0 ? 0 : 1;
}
