// The add-resource window as the user meets it: its definition, modality, closing and fresh fields.

#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "tests/publishing/publishing_support.hpp"
#include "tests/ui/gui_support.hpp"
#include "ui/add_resource_window.hpp"
#include "ui/main_window.hpp"

namespace quorvelv::publishing_tests {
namespace {

using add_resource_window_test = main_window_test;

struct control_case {
    const char* name;
    const char* kind;
    QRect place;
    const char* text;
};

TEST_F(add_resource_window_test, is_defined_as_designed) {
    with_add_resource_window([&](QWidget* window) {
        EXPECT_EQ(window->windowTitle(), QStringLiteral("添加新资源"));

        // Fixed size, outer 379 x 304 with the frame the main window is designed with, centred on the screen.
        const QSize frame = main_window_outer_size - main_window_client_size;
        EXPECT_EQ(window->size(), QSize(379, 304) - frame);
        EXPECT_EQ(window->minimumSize(), window->maximumSize());
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        EXPECT_EQ(window->frameGeometry().topLeft(),
                  QPoint((screen.width() - 379) / 2, (screen.height() - 304) / 2) + screen.topLeft());

        const Qt::WindowFlags flags = window->windowFlags();
        EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
        EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowStaysOnTopHint));

        // A dialog of the main window (no taskbar button of its own) that blocks that window only.
        EXPECT_EQ(window->windowType(), Qt::Dialog);
        EXPECT_EQ(window->parentWidget(), main.data());
        ASSERT_TRUE(window->windowHandle());
        EXPECT_EQ(window->windowHandle()->transientParent(), main->windowHandle());
        EXPECT_EQ(window->windowModality(), Qt::WindowModal);

        const control_case controls[] = {
            {"标签1", "QLabel", {16, 9, 64, 24}, "资源名称："},
            {"编辑框1", "QLineEdit", {17, 32, 336, 27}, ""},
            {"标签2", "QLabel", {17, 59, 85, 24}, "网盘下载地址："},
            {"编辑框2", "QLineEdit", {17, 84, 336, 27}, ""},
            {"标签3", "QLabel", {17, 112, 85, 24}, "大小（MB）："},
            {"编辑框3", "QLineEdit", {17, 137, 336, 27}, ""},
            {"标签4", "QLabel", {17, 166, 85, 24}, "密码："},
            {"编辑框4", "QLineEdit", {17, 190, 336, 27}, "无"},
            {"按钮1", "QPushButton", {272, 224, 80, 32}, "添加"},
        };
        for (const control_case& expected : controls) {
            SCOPED_TRACE(expected.name);
            auto* control = window->findChild<QWidget*>(QString::fromUtf8(expected.name));
            ASSERT_TRUE(control);
            EXPECT_STREQ(control->metaObject()->className(), expected.kind);
            EXPECT_EQ(control->geometry(), expected.place);
            EXPECT_TRUE(QRect(QPoint(0, 0), window->size()).contains(control->geometry()));
            EXPECT_TRUE(control->isVisible());
            EXPECT_TRUE(control->isEnabled());
            QString text;
            if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
            if (auto* box = qobject_cast<QLineEdit*>(control)) {
                text = box->text();
                EXPECT_EQ(box->echoMode(), QLineEdit::Normal);  // the password is shown as typed
                EXPECT_FALSE(box->isReadOnly());
            }
            if (auto* push = qobject_cast<QPushButton*>(control)) {
                text = push->text();
                EXPECT_FALSE(push->autoDefault());
                EXPECT_FALSE(push->isDefault());
            }
            EXPECT_EQ(text, QString::fromUtf8(expected.text));
        }
    });
}

TEST_F(add_resource_window_test, main_window_takes_no_input_while_it_is_open) {
    with_add_resource_window([&](QWidget*) {
        auto* previous = testing::control<QPushButton>("按钮3");
        click_as_the_user(previous);
        QTest::keyClick(main->windowHandle(), Qt::Key_Escape);  // would close the main window
        QCoreApplication::processEvents();
        EXPECT_EQ(previous_page_clicks, 0);
        EXPECT_TRUE(main && main->isVisible());
    });
    click_as_the_user(testing::control<QPushButton>("按钮3"));
    EXPECT_EQ(previous_page_clicks, 1);
}

TEST_F(add_resource_window_test, esc_closes_it_and_the_next_opening_starts_afresh) {
    with_add_resource_window([&](QWidget* window) {
        for (const char* name : {"编辑框1", "编辑框2", "编辑框3", "编辑框4"}) {
            type_into(field(window, name), QStringLiteral("旧的 text"));
        }
        // Enter presses no button: the Add handler would have disabled 按钮1 at once.
        QTest::keyClick(field(window, "编辑框1"), Qt::Key_Return);
        EXPECT_TRUE(button(window, "按钮1")->isEnabled());
        EXPECT_FALSE(testing::shown_message_box());

        QPointer<QWidget> open = window;
        QTest::keyClick(field(window, "编辑框2"), Qt::Key_Escape);
        EXPECT_TRUE(QTest::qWaitFor([&] { return open.isNull(); }, 5000));
    });
    EXPECT_TRUE(main->isVisible());

    with_add_resource_window([&](QWidget* window) {
        EXPECT_EQ(field(window, "编辑框1")->text(), QString());
        EXPECT_EQ(field(window, "编辑框2")->text(), QString());
        EXPECT_EQ(field(window, "编辑框3")->text(), QString());
        EXPECT_EQ(field(window, "编辑框4")->text(), QStringLiteral("无"));
    });
    EXPECT_EQ(site.request_count(), 0u);
}

}  // namespace
}  // namespace quorvelv::publishing_tests
