// The program as the process tests run it: the real start-up, loop and shutdown (start_program, end_program),
// with the site that QUORVELV_TEST_SITE names and a scripted user that QUORVELV_TEST_SCRIPT names. Markers on
// stdout tell the test what happened; browser launches are printed instead of opened. The program itself
// reads no environment variable: only this test build does.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include "app/background.hpp"
#include "app/exit_hook.hpp"
#include "app/fatal_stop.hpp"
#include "app/program.hpp"
#include "site/endpoints.hpp"
#include "ui/controls.hpp"
#include "ui/main_window.hpp"

namespace {

using namespace quorvelv;

long long monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

void say(const std::string& marker) {
    std::printf("%s\n", marker.c_str());
    std::fflush(stdout);
}

std::string setting(const char* name, const char* fallback = "") {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

class browser_stand_in final : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { say("browser " + url.toString().toStdString()); }
};

void exit_hook_observed() {
    say("exit hook");
    on_program_exit();
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
    const std::string site = setting("QUORVELV_TEST_SITE");
    if (!site.empty()) set_site_base_address_for_tests(site);
    auto* browser = new browser_stand_in;
    browser->setParent(qApp);
    QDesktopServices::setUrlHandler(QStringLiteral("http"), browser, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), browser, "open");

    // Boxes are answered as soon as they show.
    auto* answering = new QTimer(qApp);
    QObject::connect(answering, &QTimer::timeout, [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(window);
            if (!box || !box->isVisible() || box->property("answered").toBool()) continue;
            box->setProperty("answered", true);
            say("box " + box->windowTitle().toStdString() + ": " + box->text().toStdString());
            QTimer::singleShot(0, box, [box] { box->buttons().front()->click(); });
        }
    });
    answering->start(5);

    // The first turn of the loop: the window has been shown.
    QTimer::singleShot(0, [] {
        say("shown " + std::to_string(monotonic_ns()));
        register_exit_hook(exit_hook_observed);  // replaces on_program_exit, which it calls
        run_script();
    });
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(prepare_test_run)

int main() { quorvelv::end_program(quorvelv::start_program()); }

#include "program_under_test.moc"
