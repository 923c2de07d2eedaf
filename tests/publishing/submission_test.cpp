// Publishing through the Add button: the form the site receives, the messages, the refresh and the closing.

#include <string>

#include <QTest>

#include "app/background.hpp"
#include "tests/publishing/form_decoding.hpp"
#include "tests/publishing/publishing_support.hpp"
#include "tests/ui/gui_support.hpp"
#include "ui/add_resource_window.hpp"

namespace quorvelv::publishing_tests {
namespace {

using submission_test = main_window_test;

bool listing_refresh_requested(const test_support::test_server& site) {
    for (const auto& request : site.requests())
        if (request.method == "GET" && request.path() == "/jcbh1.php" && request.target.starts_with("/jcbh1.php?yms="))
            return true;
    return false;
}

TEST_F(submission_test, publishes_once_then_tells_refreshes_and_closes) {
    const QString name = QStringLiteral("中文资源 a&b=c+d%e");
    const QString address = QStringLiteral("https://pan.example/s/1?pwd=a&x=%20");
    const QString size = QStringLiteral("1.5 GB");  // need not be a number
    with_add_resource_window([&](QWidget* window) {
        type_into(field(window, "编辑框1"), name);
        type_into(field(window, "编辑框2"), address);
        type_into(field(window, "编辑框3"), size);
        // 编辑框4 keeps its "无": filled.
        QPushButton* add = button(window, "按钮1");
        QTest::mouseClick(add, Qt::LeftButton);
        EXPECT_FALSE(add->isEnabled());

        QMessageBox* box = wait_for_message_box(published_message());
        ASSERT_TRUE(box);
        // Sent before the message, Add enabled again before it, the refresh only after OK.
        ASSERT_EQ(site.request_count(), 1u);
        const auto post = site.requests().front();
        EXPECT_EQ(post.method, "POST");
        EXPECT_EQ(post.target, "/tjwz.php");
        EXPECT_EQ(post.header("Content-Type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(decode_form(post.body),
                  publishing_fields(testing::gbk(name.toStdString()), testing::gbk(size.toStdString()),
                                    testing::gbk(address.toStdString()), testing::gbk("无")))
            << post.body;
        EXPECT_TRUE(add->isEnabled());
        EXPECT_TRUE(window->isVisible());

        QPointer<QWidget> open = window;
        press_ok_on(box);
        EXPECT_TRUE(QTest::qWaitFor([&] { return listing_refresh_requested(site); }, 5000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return open.isNull(); }, 5000));
    });
    // The press of 按钮6 has come back, and the main window takes input again.
    click_as_the_user(testing::control<QPushButton>("按钮3"));
    EXPECT_EQ(previous_page_clicks, 1);
    EXPECT_EQ(requests_to("POST", "/tjwz.php"), 1u);
}

TEST_F(submission_test, an_empty_field_gives_one_message_and_sends_nothing) {
    struct empty_case {
        const char* what;
        const char* name;
        const char* address;
        const char* size;
        const char* password;
    };
    const empty_case cases[] = {
        {"name", "", "http://a.example/1", "10", "pw"},
        {"address", "名字", "", "10", "pw"},
        {"size", "名字", "http://a.example/1", "", "pw"},
        {"password", "名字", "http://a.example/1", "10", ""},
        {"all four", "", "", "", ""},
    };
    with_add_resource_window([&](QWidget* window) {
        for (const empty_case& c : cases) {
            SCOPED_TRACE(c.what);
            field(window, "编辑框1")->setText(QString::fromUtf8(c.name));
            field(window, "编辑框2")->setText(QString::fromUtf8(c.address));
            field(window, "编辑框3")->setText(QString::fromUtf8(c.size));
            field(window, "编辑框4")->setText(QString::fromUtf8(c.password));
            QPushButton* add = button(window, "按钮1");
            QTest::mouseClick(add, Qt::LeftButton);

            QMessageBox* box = wait_for_message_box(incomplete_message());
            ASSERT_TRUE(box);
            EXPECT_FALSE(add->isEnabled());  // enabled again only after OK
            press_ok_on(box);
            EXPECT_TRUE(QTest::qWaitFor([&] { return add->isEnabled(); }, 5000));
            EXPECT_TRUE(QTest::qWaitFor([] { return background_routines_running() == 0; }, 5000));
            QCoreApplication::processEvents();
            EXPECT_FALSE(testing::shown_message_box());
            EXPECT_EQ(site.request_count(), 0u);
            EXPECT_TRUE(window->isVisible());
            EXPECT_EQ(field(window, "编辑框1")->text(), QString::fromUtf8(c.name));
            EXPECT_EQ(field(window, "编辑框4")->text(), QString::fromUtf8(c.password));
        }
    });
}

TEST_F(submission_test, closing_during_the_success_message_leaves_the_later_close_request_idle) {
    QPointer<QMessageBox> success;
    with_add_resource_window([&](QWidget* window) {
        field(window, "编辑框1")->setText(QStringLiteral("资源"));
        field(window, "编辑框2")->setText(QStringLiteral("http://a.example/1"));
        field(window, "编辑框3")->setText(QStringLiteral("10"));
        QTest::mouseClick(button(window, "按钮1"), Qt::LeftButton);
        success = wait_for_message_box(published_message());
        ASSERT_TRUE(success);

        // The window stays usable under the box: edited, then closed with Esc.
        type_into(field(window, "编辑框1"), QStringLiteral("edited"));
        EXPECT_EQ(field(window, "编辑框1")->text(), QStringLiteral("edited"));
        QPointer<QWidget> open = window;
        QTest::keyClick(field(window, "编辑框1"), Qt::Key_Escape);
        EXPECT_TRUE(QTest::qWaitFor([&] { return open.isNull(); }, 5000));
    });
    ASSERT_TRUE(success && success->isVisible());
    EXPECT_EQ(requests_to("POST", "/tjwz.php"), 1u);
    click_as_the_user(testing::control<QPushButton>("按钮3"));
    EXPECT_EQ(previous_page_clicks, 1);
    // That click's own refresh ends before the submission's is looked for.
    EXPECT_TRUE(QTest::qWaitFor([] { return testing::control<QPushButton>("按钮5")->isEnabled(); }, 5000));
    site.clear_requests();

    // A new window is open when the old submission goes on: its close request must not reach this one.
    with_add_resource_window([&](QWidget* window) {
        QPointer<QWidget> second = window;
        press_ok_on(success);
        EXPECT_TRUE(QTest::qWaitFor([&] { return listing_refresh_requested(site); }, 5000));
        EXPECT_TRUE(QTest::qWaitFor([] { return background_routines_running() == 0; }, 5000));
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(second && second->isVisible());
    });
    EXPECT_EQ(requests_to("POST", "/tjwz.php"), 0u);
}

}  // namespace
}  // namespace quorvelv::publishing_tests
