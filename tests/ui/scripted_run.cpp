#include "tests/ui/scripted_run.hpp"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include "app/exit_hook.hpp"
#include "app/program.hpp"
#include "site/endpoints.hpp"

namespace quorvelv::testing {
namespace {

class browser_stand_in final : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { say("browser " + url.toString().toStdString()); }
};

void exit_hook_observed() {
    say("exit hook");
    on_program_exit();
}

}  // namespace

void say(const std::string& marker) {
    std::printf("%s\n", marker.c_str());
    std::fflush(stdout);
}

std::string setting(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

void prepare_scripted_run(int box_poll_ms, std::function<void()> first_turn) {
    const std::string site = setting("QUORVELV_TEST_SITE");
    if (!site.empty()) set_site_base_address_for_tests(site);
    auto* browser = new browser_stand_in;
    browser->setParent(qApp);
    QDesktopServices::setUrlHandler(QStringLiteral("http"), browser, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), browser, "open");

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
    answering->start(box_poll_ms);

    // The first turn of the loop: the main window has been shown.
    QTimer::singleShot(0, [first_turn = std::move(first_turn)] {
        register_exit_hook(exit_hook_observed);  // replaces on_program_exit, which it calls
        first_turn();
    });
}

}  // namespace quorvelv::testing

#include "scripted_run.moc"
