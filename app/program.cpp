#include "app/program.hpp"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <system_error>
#include <vector>

#include <QApplication>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include "app/background.hpp"
#include "app/engine_file.hpp"
#include "app/exit_hook.hpp"
#include "app/fatal_stop.hpp"
#include "app/program_directory.hpp"
#include "listing/refresh.hpp"
#include "site/notice.hpp"
#include "ui/main_window.hpp"
#include "ui/program_icon.hpp"
#include "ui/skin.hpp"


namespace quorvelv {
namespace {

// User-interface thread only.
bool loop_flag = false;

QSet<QObject*>& open_windows() {
    static auto* windows = new QSet<QObject*>;
    return *windows;
}

// An exception that reaches the event loop is a run-time fault (a failed allocation, say): a fatal stop,
// rather than Qt's undefined behaviour for exceptions thrown through event handlers.
class program_application final : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            fatal_stop(error.what());
        } catch (...) {
            fatal_stop("unexpected exception in an event handler");
        }
    }
};

QtMessageHandler default_message_handler = nullptr;

// Qt's own fatal faults (no display to connect to, for one) end the process as a fatal stop does: exit code -1
// and no exit hook. No box can be shown at that point; the message goes to the error stream.
void message_handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "quorvelv: %s\n", message.toLocal8Bit().constData());
        std::fflush(nullptr);
        clear_exit_hook();
        std::_Exit(255);
    }
    if (default_message_handler) default_message_handler(type, context, message);
}

void enter_program_directory() {
    determine_program_directory();
    // A program in "/" has the empty text as its directory.
    const std::filesystem::path directory = program_directory().empty() ? "/" : program_directory();
    std::error_code ignored;
    std::filesystem::current_path(directory, ignored);
}

void release_windows() {
    std::vector<QPointer<QWidget>> windows;
    for (QWidget* window : QApplication::topLevelWidgets()) windows.emplace_back(window);
    for (const QPointer<QWidget>& window : windows) delete window.data();  // a child window may go with its owner
}

[[noreturn]] void end_process(int exit_code, bool with_exit_hook) {
    end_background_work();  // waiting routines go on at once; their requests fail quietly from here on
    release_windows();
    if (with_exit_hook) run_exit_hook();
    unload_skin_engine();
    destroy_relay();
    // The desktop's component-object services would be shut down here on Windows; nothing to do on Linux.

    // Static destructors are skipped on purpose: detached background threads may still be inside a fetch or
    // waiting on a request, and would find the objects they use (the HTTP session among them) destroyed under
    // them. The operating system closes their connections with the process.
    std::fflush(nullptr);
    std::_Exit(exit_code);
}

}  // namespace

int start_program() {
    // 1. The run-time services.
    default_message_handler = qInstallMessageHandler(message_handler);
    static int argc = 1;
    static char program_name[] = "quorvelv";
    static char* argv[] = {program_name, nullptr};  // the program takes no command line
    new program_application(argc, argv);             // lives until the process ends
    QApplication::setQuitOnLastWindowClosed(false);  // the program's own rule below ends the loop
    QApplication::setWindowIcon(program_icon());
    // A Windows build initialises the desktop's component-object services for this thread here.
    enter_program_directory();
    prepare_background_work();  // the relay, and this thread remembered as the user-interface thread
    // The two windows' definitions are compiled in: create_main_window and open_add_resource_window.

    // 2.
    register_exit_hook(on_program_exit);

    // 3.
    write_engine_file();

    // 4. The main window, its creation handler, then the first show.
    if (!create_main_window()) fatal_stop("The main window cannot be created.");
    on_main_window_created();
    show_main_window();

    // 5.
    return run_main_loop();
}

[[noreturn]] void end_program(int exit_code) { end_process(exit_code, true); }

[[noreturn]] void end_process_without_exit_hook(int exit_code) { end_process(exit_code, false); }

void on_main_window_created() {
    start_background(check_notice);
    request_refresh();
    apply_skin(38);
}

void on_program_exit() { release_notice_text(); }

void track_program_window(QWidget* window) {
    if (!window) return;
    open_windows().insert(window);
    QObject::connect(window, &QObject::destroyed, [](QObject* gone) {
        open_windows().remove(gone);
        // The quit request: every loop of the thread ends once control returns to it.
        if (open_windows().isEmpty() && loop_flag) QCoreApplication::exit(0);
    });
}

int run_main_loop() {
    loop_flag = true;
    if (!open_windows().isEmpty()) QApplication::exec();
    end_background_work();
    return 0;
}

}  // namespace quorvelv
