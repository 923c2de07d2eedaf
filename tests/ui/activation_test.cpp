#include "listing/activation.hpp"

#include <gtest/gtest.h>

#include <string>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "listing/text.hpp"
#include "tests/ui/gui_support.hpp"
#include "ui/controls.hpp"
#include "ui/main_window.hpp"
#include "ui/resource_activation.hpp"

namespace quorvelv {
namespace {

using testing::control;
using testing::gbk;

TEST(remove_line_break_pairs, removes_every_pair_and_steps_over_double_byte_characters) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"\r\nabc", "abc"},
        {"a\r\nb\r\n", "ab"},
        {"\r\n\r\n", ""},
        {"a\rb\nc\n\r", "a\rb\nc\n\r"},         // lone CRs and LFs stay
        {"\r\r\n", "\r"},
        {"\xB0\r\n", "\xB0\r\n"},              // the lead byte takes the CR with it: no pair left
        {"\xB0\xA1\r\n", "\xB0\xA1"},          // a whole character, then a pair
        {"ab\xB0", "ab\xB0"},                   // a lone lead byte at the end
        {"\r\n" + gbk("获取失败"), gbk("获取失败")},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(remove_line_break_pairs(text), expected) << text;
}

struct row {
    std::string name, size, password, link;
};

class activation_test : public ::testing::Test {
protected:
    void SetUp() override {
        window = create_main_window();
        show_main_window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        list = control<QTreeWidget>("超级列表框1");
        const row rows[] = {
            {gbk("第一") + "\r\n", "700MB", "\r\nabc1", "\r\nhttp://pan.example/s/one"},
            {gbk("第二") + "\r\n", "12MB", "\r\n" + gbk("无"), "\r\nhttps://pan.example/s/two?x=1"},
            {"x", std::string(failure_text) + "MB", std::string(failure_text), std::string(failure_text)},
            {"y", "1MB", "pass\r\nword", "file:///etc/passwd"},
        };
        for (const auto& r : rows) {
            append_row(list, r.name);
            set_cell(list, row_count(list) - 1, 2, r.password);
            set_cell(list, row_count(list) - 1, 3, r.link);
            set_cell(list, row_count(list) - 1, 1, r.size);
        }
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }
    void TearDown() override { delete window.data(); }

    QPoint row_centre(int r) {
        const QModelIndex index = list->model()->index(r, 0);
        list->scrollTo(index);
        return list->visualRect(index).center();
    }

    // Acts, answers the message box, and reports what happened in which order.
    struct outcome {
        bool box_shown = false;
        QString box_text, box_title;
        QString clipboard_while_shown;
        std::size_t urls_while_shown = 0;
        std::vector<std::string> urls_after;
    };
    template <typename Action>
    outcome activate_with(Action action) {
        outcome seen;
        bool answered = false;
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(QTest::qWaitFor([] { return testing::shown_message_box() != nullptr; }));
            QMessageBox* box = testing::shown_message_box();
            seen.box_shown = true;
            seen.box_text = box->text();
            seen.box_title = box->windowTitle();
            EXPECT_EQ(QApplication::activeModalWidget(), box);  // modal to the whole application
            EXPECT_EQ(box->parentWidget(), nullptr);
            EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
            seen.clipboard_while_shown = QGuiApplication::clipboard()->text();
            seen.urls_while_shown = browser.urls().size();
            testing::press_ok(box);
            answered = true;
        });
        action();
        EXPECT_TRUE(answered);
        seen.urls_after = browser.urls();
        return seen;
    }

    testing::url_recorder browser;
    QPointer<QWidget> window;
    QTreeWidget* list = nullptr;
};

TEST_F(activation_test, double_click_copies_the_password_tells_then_opens_the_link) {
    const QPoint centre = row_centre(0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    const outcome seen = activate_with([&] { QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre); });
    EXPECT_TRUE(seen.box_shown);
    EXPECT_EQ(seen.box_text, QStringLiteral("已经成功复制密码"));
    EXPECT_EQ(seen.box_title, QStringLiteral("信息："));
    EXPECT_EQ(seen.clipboard_while_shown, QStringLiteral("abc1"));
    EXPECT_EQ(seen.urls_while_shown, 0u);  // the browser only after OK
    EXPECT_EQ(seen.urls_after, std::vector<std::string>{"http://pan.example/s/one"});
    EXPECT_EQ(list->topLevelItemCount(), 4);  // the handler writes nothing into the list
}

TEST_F(activation_test, enter_on_the_focused_row_activates_it) {
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(1));
    const outcome seen = activate_with([&] { QTest::keyClick(list, Qt::Key_Return); });
    EXPECT_EQ(seen.clipboard_while_shown, QStringLiteral("无"));
    EXPECT_EQ(seen.urls_after, std::vector<std::string>{"https://pan.example/s/two?x=1"});
}

TEST_F(activation_test, failure_texts_and_inner_breaks_are_used_as_they_are) {
    list->setCurrentItem(list->topLevelItem(2));
    outcome seen = activate_with([&] { activate_resource(); });
    EXPECT_EQ(seen.clipboard_while_shown, QStringLiteral("获取失败"));
    EXPECT_TRUE(seen.urls_after.empty());  // not a web address: not handed to the browser

    browser.clear();
    list->setCurrentItem(list->topLevelItem(3));
    seen = activate_with([&] { activate_resource(); });
    EXPECT_EQ(seen.clipboard_while_shown, QStringLiteral("password"));
    EXPECT_TRUE(seen.urls_after.empty());  // a local file is never opened from a listing
}

TEST_F(activation_test, no_selected_row_copies_the_empty_text_and_still_tells) {
    list->clearSelection();
    const outcome seen = activate_with([&] { activate_resource(); });
    EXPECT_TRUE(seen.box_shown);
    EXPECT_EQ(seen.clipboard_while_shown, QString());
    EXPECT_TRUE(seen.urls_after.empty());
}

TEST_F(activation_test, a_single_click_only_selects_and_a_second_row_deselects_the_first) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row_centre(0));
    EXPECT_EQ(selected_row(list), 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row_centre(1));
    EXPECT_EQ(selected_row(list), 1);
    EXPECT_EQ(list->selectedItems().size(), 1);
    // A click on a column header sorts nothing.
    QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {},
                      QPoint(list->header()->sectionViewportPosition(1) + 10, 5));
    EXPECT_EQ(cell_text(list, 0, 1), "700MB");
    EXPECT_EQ(testing::shown_message_box(), nullptr);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    EXPECT_TRUE(browser.urls().empty());
}

}  // namespace
}  // namespace quorvelv
