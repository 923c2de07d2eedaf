// Publishing against the bundled reference site: what the user adds shows up in the listing.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "site/endpoints.hpp"
#include "tests/publishing/publishing_support.hpp"
#include "tests/ui/gui_support.hpp"
#include "ui/add_resource_window.hpp"

namespace quorvelv::publishing_tests {
namespace {

// The site as its own process, on a free port, publishing submissions at once, over a new database. Started
// with posix_spawn rather than fork: the test process has threads, and a fork of it is not safe to run on.
class reference_site {
public:
    reference_site() {
        const std::string program = QUORVELV_SITE_PROGRAM;
        const std::string database = directory_.filePath(QStringLiteral("site.db")).toStdString();
        const std::string log = directory_.filePath(QStringLiteral("site.log")).toStdString();
        std::vector<std::string> arguments = {program, "serve", "--db", database, "--port", "0", "--auto-approve"};
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const bool started = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        if (!started) {
            pid_ = -1;
            return;
        }
        // It says the address it serves on stderr once it listens.
        const QRegularExpression serving(QStringLiteral("serving (http://[^ ]+) "));
        QFile said(QString::fromStdString(log));
        const bool listening = QTest::qWaitFor(
            [&] {
                if (said.isOpen() || said.open(QIODevice::ReadOnly)) {
                    said.seek(0);
                    const QRegularExpressionMatch match = serving.match(QString::fromUtf8(said.readAll()));
                    if (match.hasMatch()) address_ = match.captured(1).toStdString();
                }
                if (address_.empty() && waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;  // it gave up
                return !address_.empty() || pid_ < 0;
            },
            10000);
        if (!listening || pid_ < 0) address_.clear();
    }

    ~reference_site() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        if (!QTest::qWaitFor([&] { return waitpid(pid_, nullptr, WNOHANG) != 0; }, 5000)) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    reference_site(const reference_site&) = delete;
    reference_site& operator=(const reference_site&) = delete;

    const std::string& address() const { return address_; }  // empty when it did not start

private:
    QTemporaryDir directory_;
    pid_t pid_ = -1;
    std::string address_;
};

using reference_site_test = main_window_test;

int row_named(const QTreeWidget* list, const QString& name) {
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        if (list->topLevelItem(row)->text(0).trimmed() == name) return row;
    return -1;
}

TEST_F(reference_site_test, a_published_resource_appears_in_the_listing) {
    reference_site server;
    ASSERT_FALSE(server.address().empty()) << "the reference site did not start";
    set_site_base_address_for_tests(server.address());

    // Form syntax in the name, but nothing the page escapes as HTML, so it shows as typed.
    const QString name = QStringLiteral("测试资源 50%+1=合集");
    with_add_resource_window([&](QWidget* window) {
        field(window, "编辑框1")->setText(name);
        field(window, "编辑框2")->setText(QStringLiteral("https://pan.example/s/abc?pwd=q1w2"));
        field(window, "编辑框3")->setText(QStringLiteral("700"));
        field(window, "编辑框4")->setText(QStringLiteral("q1w2"));
        QTest::mouseClick(button(window, "按钮1"), Qt::LeftButton);
        QMessageBox* box = wait_for_message_box(published_message());
        ASSERT_TRUE(box);
        press_ok_on(box);
    });
    auto* list = testing::control<QTreeWidget>("超级列表框1");
    ASSERT_TRUE(list);
    ASSERT_TRUE(QTest::qWaitFor([&] { return row_named(list, name) >= 0; }, 10000));
    const int row = row_named(list, name);
    EXPECT_TRUE(list->topLevelItem(row)->text(2).contains(QStringLiteral("q1w2")));
    EXPECT_TRUE(list->topLevelItem(row)->text(3).contains(QStringLiteral("https://pan.example/s/abc?pwd=q1w2")));
}

}  // namespace
}  // namespace quorvelv::publishing_tests
