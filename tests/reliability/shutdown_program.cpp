// The program as the shutdown runs drive it: the real start-up, loop and shutdown (start_program, end_program)
// against the site that QUORVELV_TEST_SITE names, with a user who pages, publishes and then closes the main
// window after QUORVELV_TEST_CLOSE_MS milliseconds, whatever is in flight by then. QUORVELV_TEST_ACTIONS names
// what the user does first: "pages" (按钮4 pressed QUORVELV_TEST_PAGES times), "publish" (the add-resource
// window filled in, Add pressed, the window closed with the submission waiting), both, or "throw" (a background
// routine fails to allocate). Markers on stdout:
// every message box as "box <title>: <text>" (then answered), "exit hook" at the end. The program itself reads
// no environment variable: only this test build does.

#include <new>
#include <cstdlib>
#include <string>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "app/background.hpp"
#include "app/program.hpp"
#include "tests/ui/scripted_run.hpp"
#include "ui/add_resource_window.hpp"
#include "ui/main_window.hpp"

namespace {

using namespace quorvelv;
using testing::prepare_scripted_run;
using testing::say;
using testing::setting;

int number_setting(const char* name, int fallback) { return std::atoi(setting(name, std::to_string(fallback).c_str()).c_str()); }

void click(const char* name) {
    if (auto* button = qobject_cast<QAbstractButton*>(main_window_control(QString::fromUtf8(name))))
        button->click();
}

void close_main_window() {
    // The user cannot reach the main window under the modal window: it goes first, then the main window.
    if (QPointer<QWidget> dialog = add_resource_window()) {
        dialog->close();
        QTimer::singleShot(1, [] { close_main_window(); });
        return;
    }
    if (QWidget* window = main_window()) window->close();
}

void fill_and_add() {
    QPointer<QWidget> dialog = add_resource_window();
    if (!dialog) return;
    const char* texts[][2] = {{"编辑框1", "资源"}, {"编辑框2", "http://pan.example/s/1"}, {"编辑框3", "10"}};
    for (const auto& [name, text] : texts)
        if (auto* field = dialog->findChild<QLineEdit*>(QString::fromUtf8(name))) field->setText(QString::fromUtf8(text));
    if (auto* add = dialog->findChild<QPushButton*>(QStringLiteral("按钮1"))) add->click();
}

void run_script() {
    const std::string actions = setting("QUORVELV_TEST_ACTIONS", "pages");
    if (actions == "throw") {  // a failed allocation inside a background routine
        start_background([] { throw std::bad_alloc(); });
        return;
    }
    const int close_ms = number_setting("QUORVELV_TEST_CLOSE_MS", 0);
    if (actions.find("pages") != std::string::npos)
        for (int i = number_setting("QUORVELV_TEST_PAGES", 3); i > 0; --i) click("按钮4");
    if (actions.find("publish") != std::string::npos) {
        // The steps run inside the modal wait that 按钮6 starts, and the user closes from there on.
        QTimer::singleShot(0, [close_ms] {
            QTimer::singleShot(0, [close_ms] {
                fill_and_add();
                QTimer::singleShot(close_ms, [] { close_main_window(); });
            });
            click("按钮6");
        });
        return;
    }
    QTimer::singleShot(close_ms, [] { close_main_window(); });
}

// Runs inside the application object's constructor, that is in step 1 of the start-up.
void prepare_test_run() { prepare_scripted_run(2, run_script); }

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(prepare_test_run)

int main() { quorvelv::end_program(quorvelv::start_program()); }

