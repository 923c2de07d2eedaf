#include "app/fatal_stop.hpp"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include <QApplication>
#include <QMessageBox>

#include "app/background.hpp"
#include "app/exit_hook.hpp"
#include "app/program.hpp"
#include "ui/gbk.hpp"

namespace quorvelv {

[[noreturn]] void fatal_stop(std::string_view message) {
    clear_exit_hook();
    const std::string text(message);
    std::fprintf(stderr, "quorvelv: fatal: %s\n", text.c_str());
    std::fflush(stderr);

    if (QApplication::instance() && on_user_interface_thread()) {
        auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Quorvelv.2.3"), gbk_to_qstring(text),
                                    QMessageBox::Ok);
        box->setObjectName(QStringLiteral("fatal_stop"));
        box->exec();
        delete box;  // before the shutdown releases every window still there
        end_process_without_exit_hook(255);
    }
    if (QApplication::instance()) {
        // Served like a control request; the user-interface thread never comes back from it.
        run_control_request_until([text](std::function<void()>) { fatal_stop(text); });
    }
    // No application object, or the loop has already ended: nobody can show a box any more.
    std::_Exit(255);
}

}  // namespace quorvelv
