// Publishing against the bundled reference site: what the user adds shows up in the listing.

#include <QProcess>
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

// The site as its own process, on a free port, publishing submissions at once, over a new database.
class reference_site {
public:
    reference_site() {
        process_.setProgram(QStringLiteral(QUORVELV_SITE_PROGRAM));
        process_.setArguments({QStringLiteral("serve"), QStringLiteral("--db"), directory_.filePath("site.db"),
                               QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--auto-approve")});
        process_.start();
        const QRegularExpression serving(QStringLiteral("serving (http://[^ ]+) "));
        QByteArray said;
        static_cast<void>(QTest::qWaitFor([&] {
            said += process_.readAllStandardError();
            const QRegularExpressionMatch match = serving.match(QString::fromUtf8(said));
            if (match.hasMatch()) address_ = match.captured(1).toStdString();
            return !address_.empty() || process_.state() == QProcess::NotRunning;
        }, 10000));
    }
    ~reference_site() {
        process_.terminate();
        if (!process_.waitForFinished(5000)) process_.kill();
        process_.waitForFinished(5000);
    }
    const std::string& address() const { return address_; }  // empty when it did not start

private:
    QTemporaryDir directory_;
    QProcess process_;
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
