// The refresh as the user sees it: from the click on 刷新 to the last row in the list (and painted), for pages
// of 20 and 1,000 items served on loopback, and the longest time the user-interface thread took no event
// while a refresh ran (measured by a 1 ms timer: the longest gap between its ticks, less 1 ms).
//
//   program_refresh_bench [--site http://127.0.0.1:8623] [--rounds 10]
// Without --site the pages come from an in-process server in the site's layout; with it, from that site (its
// page 0, whatever its size). Runs under QT_QPA_PLATFORM as set (offscreen when unset; xcb under Xvfb gives
// real painting).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/background.hpp"
#include "site/endpoints.hpp"
#include "tests/listing/listing_page_builder.hpp"
#include "tests/support/test_server.hpp"
#include "ui/controls.hpp"
#include "ui/main_window.hpp"

namespace {

using namespace quorvelv;

struct round_figures {
    double to_last_row_ms = 0;
    double to_painted_ms = 0;
    double longest_stall_ms = 0;
    int rows = 0;
};

round_figures refresh_once(QTreeWidget* list, QPushButton* button, int expected_rows) {
    // Start from an empty list, so that the last row is told by the count.
    clear_rows(list);
    QCoreApplication::processEvents();

    QElapsedTimer since_tick;
    double longest_gap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest_gap = std::max(longest_gap, since_tick.nsecsElapsed() / 1e6);
        since_tick.restart();
    });

    round_figures figures;
    QElapsedTimer clock;
    since_tick.start();
    ticker.start(1);
    clock.start();
    button->click();
    while (row_count(list) < expected_rows || background_routines_running() > 0) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (figures.to_last_row_ms == 0 && expected_rows > 0 && row_count(list) >= expected_rows)
            figures.to_last_row_ms = clock.nsecsElapsed() / 1e6;
        if (clock.elapsed() > 30000) break;
    }
    if (figures.to_last_row_ms == 0) figures.to_last_row_ms = clock.nsecsElapsed() / 1e6;
    list->viewport()->repaint();  // the rows on the screen
    figures.to_painted_ms = clock.nsecsElapsed() / 1e6;
    ticker.stop();
    figures.longest_stall_ms = std::max(0.0, longest_gap - 1.0);
    figures.rows = row_count(list);
    return figures;
}

void report(const char* what, std::vector<round_figures> rounds) {
    auto median = [&](auto field) {
        std::vector<double> values;
        for (const auto& r : rounds) values.push_back(r.*field);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    double worst_stall = 0;
    for (const auto& r : rounds) worst_stall = std::max(worst_stall, r.longest_stall_ms);
    std::printf("%-28s rows %5d   click to last row %8.2f ms   to painted %8.2f ms   longest stall %6.2f ms "
                "(median %5.2f)\n",
                what, rounds.front().rows, median(&round_figures::to_last_row_ms),
                median(&round_figures::to_painted_ms), worst_stall, median(&round_figures::longest_stall_ms));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::string site;
    int rounds = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--site") == 0) site = argv[i + 1];
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
    }
    int qt_argc = 1;
    QApplication application(qt_argc, argv);
    prepare_background_work();

    test_support::test_server server;
    std::string current_page_body;
    server.on_get("/jcbh1.php", [&current_page_body](const httplib::Request&, httplib::Response& response) {
        response.set_content(current_page_body, "text/html");
    });
    set_site_base_address_for_tests(site.empty() ? server.base_address() : site);

    QWidget* window = create_main_window();
    show_main_window();
    if (!QTest::qWaitForWindowExposed(window)) std::fprintf(stderr, "the window was not exposed\n");
    auto* list = qobject_cast<QTreeWidget*>(main_window_control(QStringLiteral("超级列表框1")));
    auto* button = qobject_cast<QPushButton*>(main_window_control(QStringLiteral("按钮5")));

    std::printf("platform %s, %d rounds each\n", qPrintable(QGuiApplication::platformName()), rounds);
    if (site.empty()) {
        for (const int items : {20, 1000}) {
            current_page_body = fixtures::listing_page_of(static_cast<std::size_t>(items));
            refresh_once(list, button, items);  // warm-up: the first fetch sets up the session
            std::vector<round_figures> figures;
            for (int i = 0; i < rounds; ++i) figures.push_back(refresh_once(list, button, items));
            const std::string what = std::to_string(items) + " items (" +
                                     std::to_string(current_page_body.size() / 1024) + " KB page)";
            report(what.c_str(), figures);
        }
    } else {
        const round_figures first = refresh_once(list, button, 1);
        std::vector<round_figures> figures;
        for (int i = 0; i < rounds; ++i) figures.push_back(refresh_once(list, button, first.rows));
        report(("page 0 of " + site).c_str(), figures);
    }
    delete window;
    return 0;
}
