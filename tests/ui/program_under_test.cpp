// The program as the process tests run it: the real start-up, loop and shutdown (start_program, end_program),
// with the site that QUORVELV_TEST_SITE names and a scripted user that QUORVELV_TEST_SCRIPT names. Markers on
// stdout tell the test what happened; browser launches are printed instead of opened. The program itself
// reads no environment variable: only this test build does.

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/background.hpp"
#include "app/fatal_stop.hpp"
#include "app/program.hpp"
#include "tests/ui/scripted_run.hpp"
#include "ui/controls.hpp"
#include "ui/main_window.hpp"

namespace {

using namespace quorvelv;
using testing::prepare_scripted_run;
using testing::say;
using testing::setting;

long long monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

int rows_now() {
    return row_count(qobject_cast<QTreeWidget*>(main_window_control(QStringLiteral("超级列表框1"))));
}

void press_escape() {
    QWidget* window = main_window();
    if (!window) return;
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window, 2000)) say("main window not active");  // a window manager activates it later
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Escape);
}

// Calls `then` once `ready` holds, checking on every turn of the loop.
template <typename Ready, typename Then>
void when(Ready ready, Then then) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, ready, then] {
        if (!ready()) return;
        timer->deleteLater();
        then();
    });
    timer->start(1);
}

// Background threads that do nothing but make control requests, until the process ends.
void start_hammering(int count) {
    for (int i = 0; i < count; ++i) {
        std::thread([] {
            for (;;) {
                std::string text;
                run_control_request([&text] { text = box_text(main_window_control(QStringLiteral("编辑框1"))); });
                if (background_work_ended()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }).detach();
    }
}

void run_script() {
    const std::string script = setting("QUORVELV_TEST_SCRIPT");
    if (script == "rows") {  // wait for the listing, report it, then Esc
        const int rows = std::atoi(setting("QUORVELV_TEST_ROWS", "0").c_str());
        when([rows] { return rows_now() >= rows; },
             [] {
                 say("rows " + std::to_string(rows_now()) + " " + std::to_string(monotonic_ns()));
                 press_escape();
             });
    } else if (script == "close-blocked") {  // close while fetches and control requests wait
        start_hammering(std::atoi(setting("QUORVELV_TEST_HAMMERS", "3").c_str()));
        const int delay = std::atoi(setting("QUORVELV_TEST_DELAY", "0").c_str());
        QTimer::singleShot(delay, [] {
            if (QWidget* window = main_window()) window->close();
        });
    } else if (script == "close-filling") {  // close while the rows arrive
        when([] { return rows_now() > 0; }, [] { main_window()->close(); });
    } else if (script == "fatal-ui") {
        QTimer::singleShot(0, [] { fatal_stop("a fault on the user-interface thread"); });
    } else if (script == "fatal-background") {
        std::thread([] { fatal_stop("a fault on a background thread"); }).detach();
    } else if (script == "second-window") {  // another window of the program comes and goes
        auto* second = new QWidget;
        second->setAttribute(Qt::WA_DeleteOnClose);
        track_program_window(second);
        second->show();
        const QPointer<QWidget> watched(second);
        QTimer::singleShot(0, second, &QWidget::close);
        when([watched] { return watched.isNull(); },
             [] {
                 QTimer::singleShot(0, [] {
                     say(main_window() ? "still running" : "main window gone");
                     if (QWidget* window = main_window()) window->close();
                 });
             });
    }
}

// Runs inside the application object's constructor, that is in step 1 of the start-up.
void prepare_test_run() {
    prepare_scripted_run(5, [] {
        say("shown " + std::to_string(monotonic_ns()));
        run_script();
    });
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(prepare_test_run)

int main() { quorvelv::end_program(quorvelv::start_program()); }

