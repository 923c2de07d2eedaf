#include "tests/publishing/publishing_support.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "app/background.hpp"
#include "site/endpoints.hpp"
#include "tests/ui/gui_support.hpp"
#include "ui/add_resource_window.hpp"
#include "ui/main_window.hpp"

namespace quorvelv::publishing_tests {

QString incomplete_message() { return QStringLiteral("请完善信息后再发布"); }
QString published_message() { return QStringLiteral("发布成功，请等待审核"); }

QMessageBox* message_box_with(const QString& text) {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible() && box->text() == text)
            return box;
    return nullptr;
}

QMessageBox* wait_for_message_box(const QString& text) {
    QMessageBox* box = nullptr;
    if (!QTest::qWaitFor([&] { return (box = message_box_with(text)) != nullptr; }, 5000)) return nullptr;
    return box;
}

void press_ok_on(QMessageBox* box) {
    if (!box) return;
    QPointer<QMessageBox> shown = box;
    // Through the window system: a box that a modal window blocked would not take the press.
    EXPECT_TRUE(QTest::qWaitForWindowExposed(box));
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) click_as_the_user(ok);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.isNull() || !shown->isVisible(); }, 5000));
}

QLineEdit* field(QWidget* window, const char* name) {
    return window ? window->findChild<QLineEdit*>(QString::fromUtf8(name)) : nullptr;
}

QPushButton* button(QWidget* window, const char* name) {
    return window ? window->findChild<QPushButton*>(QString::fromUtf8(name)) : nullptr;
}

void type_into(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F) {
            QTest::keyClick(box, c.toLatin1());
        } else {
            QInputMethodEvent composed;
            composed.setCommitString(QString(c));
            QCoreApplication::sendEvent(box, &composed);
        }
    }
}

void click_as_the_user(QWidget* control) {
    QWidget* window = control->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, control->mapTo(window, control->rect().center()));
}

void main_window_test::SetUp() {
    site.on_post("/tjwz.php", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("ok", "text/html");
    });
    set_site_base_address_for_tests(site.base_address());
    main = create_main_window();
    ASSERT_TRUE(main);
    show_main_window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    QObject::connect(testing::control<QPushButton>("按钮3"), &QPushButton::clicked, main,
                     [this] { ++previous_page_clicks; });
}

void main_window_test::TearDown() {
    // Nothing may outlive the test: boxes answered, routines ended, windows gone.
    const auto settled = [] {
        if (QMessageBox* box = testing::shown_message_box()) testing::press_ok(box);
        return background_routines_running() == 0 && !testing::shown_message_box();
    };
    EXPECT_TRUE(QTest::qWaitFor(settled, 10000));
    delete main.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void main_window_test::with_add_resource_window(const std::function<void(QWidget* window)>& steps) {
    bool ran = false;
    bool pressed = false;
    QTimer::singleShot(0, main, [&] {
        ran = true;
        QPointer<QWidget> window = add_resource_window();
        EXPECT_TRUE(window) << "按钮6 opened no add-resource window";
        if (!window) return;
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_FALSE(pressed) << "the press came back while the window was open";
        steps(window);
        if (window) window->close();
    });
    QTest::mouseClick(testing::control<QPushButton>("按钮6"), Qt::LeftButton);
    pressed = true;
    EXPECT_TRUE(ran);
    EXPECT_TRUE(add_resource_window().isNull()) << "the press came back with the window still there";
}

std::size_t main_window_test::requests_to(const std::string& method, const std::string& path) const {
    std::size_t count = 0;
    for (const auto& request : site.requests())
        if (request.method == method && request.path() == path) ++count;
    return count;
}

}  // namespace quorvelv::publishing_tests
