#include "ui/main_window.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "listing/config_texts.hpp"
#include "listing/parser.hpp"
#include "tests/ui/gui_support.hpp"
#include "ui/controls.hpp"

namespace quorvelv {
namespace {

using testing::control;
using testing::gbk;

struct control_place {
    const char* name;
    const char* kind;
    QRect geometry;
    const char* text;  // UTF-8; nullptr for the configuration boxes and the list
};

// The window's definition: kind, place and size in the client area, initial text.
const control_place places[] = {
    {"超级列表框1", "QTreeWidget", {8, 7, 552, 233}, nullptr},
    {"按钮3", "QPushButton", {8, 247, 64, 32}, "上一页"},
    {"按钮4", "QPushButton", {78, 247, 58, 32}, "下一页"},
    {"按钮5", "QPushButton", {142, 247, 50, 32}, "刷新"},
    {"编辑框1", "QLineEdit", {207, 252, 31, 24}, "0"},
    {"按钮6", "QPushButton", {254, 247, 110, 32}, "添加新资源"},
    {"按钮2", "QPushButton", {368, 247, 110, 32}, "官方网站"},
    {"按钮1", "QPushButton", {800, 350, 357, 32}, "免费1G虚拟主机+数据库+免费域名"},
    {"标签1", "QLabel", {801, 365, 33, 24}, "页码："},
    {"组合框1", "QComboBox", {648, 120, 100, 20}, ""},
    {"编辑框2", "QPlainTextEdit", {960, 384, 360, 184}, nullptr},
    {"编辑框3", "QLineEdit", {688, 384, 80, 20}, nullptr},
    {"编辑框4", "QLineEdit", {752, 224, 80, 20}, nullptr},
    {"编辑框5", "QLineEdit", {712, 312, 48, 40}, nullptr},
    {"编辑框6", "QLineEdit", {712, 304, 80, 20}, nullptr},
    {"编辑框7", "QLineEdit", {736, 280, 80, 20}, nullptr},
    {"编辑框8", "QLineEdit", {784, 168, 56, 64}, nullptr},
    {"编辑框9", "QLineEdit", {680, 280, 80, 20}, nullptr},
    {"编辑框10", "QLineEdit", {720, 192, 80, 20}, nullptr},
};

QString widget_text(QWidget* widget) {
    if (auto* button = qobject_cast<QPushButton*>(widget)) return button->text();
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
    return {};
}

class main_window_test : public ::testing::Test {
protected:
    void SetUp() override {
        window = create_main_window();
        show_main_window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    void TearDown() override {
        delete window.data();
        EXPECT_TRUE(testing::wait_for_background_routines());
    }
    QPointer<QWidget> window;
};

TEST_F(main_window_test, has_its_title_size_and_place) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quorvelv.2.3"));
    EXPECT_EQ(window->size(), main_window_client_size);
    EXPECT_EQ(window, main_window());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->frameGeometry().topLeft(),
              QPoint((screen.width() - 574) / 2, (screen.height() - 318) / 2));
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window->windowIcon().isNull());
}

TEST_F(main_window_test, every_control_has_its_kind_place_and_initial_text) {
    const QRect client(QPoint(0, 0), main_window_client_size);
    for (const auto& place : places) {
        SCOPED_TRACE(place.name);
        QWidget* widget = control<QWidget>(place.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), place.kind);
        EXPECT_EQ(widget->geometry(), place.geometry);
        EXPECT_TRUE(widget->isEnabled());
        EXPECT_FALSE(widget->isHidden());
        if (place.text) {
            EXPECT_EQ(widget_text(widget), QString::fromUtf8(place.text));
        }
        // The design size shows the first seven whole and none of the others.
        const bool seen = &place - places < 7;
        EXPECT_EQ(seen ? client.contains(place.geometry) : !client.intersects(place.geometry), true);
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_FALSE(button->autoDefault());
            EXPECT_FALSE(button->isDefault());
        }
    }
    EXPECT_EQ(control<QLineEdit>("编辑框1")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    auto* ids = control<QComboBox>("组合框1");
    EXPECT_TRUE(ids->isEditable());
    EXPECT_EQ(ids->count(), 0);
    EXPECT_EQ(ids->currentIndex(), -1);
}

TEST_F(main_window_test, the_list_is_a_plain_four_column_report) {
    auto* list = control<QTreeWidget>("超级列表框1");
    ASSERT_EQ(list->columnCount(), 4);
    const char* headers[] = {"教程名称", "大小", "密码", "下载地址"};
    const int widths[] = {200, 80, 70, 300};
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(list->headerItem()->text(column), QString::fromUtf8(headers[column]));
        EXPECT_EQ(list->header()->sectionSize(column), widths[column]);
    }
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(list->isSortingEnabled());
    EXPECT_FALSE(list->header()->sectionsMovable());
    EXPECT_FALSE(list->dragEnabled());
    EXPECT_FALSE(list->rootIsDecorated());
}

TEST_F(main_window_test, configuration_boxes_give_back_their_texts_byte_for_byte) {
    const parser_config config = default_parser_config();
    const std::pair<const char*, std::string> boxes[] = {
        {"编辑框2", config.item_pattern},     {"编辑框3", config.section_start}, {"编辑框4", config.section_end},
        {"编辑框5", config.size_marker},      {"编辑框6", default_box6_text()},  {"编辑框7", default_box7_text()},
        {"编辑框8", config.id_marker},        {"编辑框9", config.password_marker},
        {"编辑框10", config.link_marker},
    };
    for (const auto& [name, text] : boxes) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(box_text(main_window_control(QString::fromUtf8(name))), text);
    }
    // The section end marker ends in a lone CR, and the widget holds it as such.
    EXPECT_TRUE(control<QLineEdit>("编辑框4")->text().endsWith(u'\r'));
    EXPECT_EQ(config.item_pattern.find("\r\n"), config.item_pattern.find('\r'));
}

TEST_F(main_window_test, carries_the_hidden_menu_and_shows_no_menu_bar) {
    auto* menu = window->findChild<QMenu*>(QStringLiteral("菜单"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), QStringLiteral("菜单"));
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("刷新"));
    EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("最小化"));
    EXPECT_EQ(menu->actions()[2]->text(), QStringLiteral("还原"));
    EXPECT_FALSE(menu->isVisible());
    EXPECT_EQ(window->findChild<QMenuBar*>(), nullptr);
}

TEST_F(main_window_test, esc_closes_the_window_wherever_the_focus_is) {
    for (const char* focus : {"超级列表框1", "编辑框1", "按钮5", "编辑框2", "组合框1"}) {
        SCOPED_TRACE(focus);
        if (!window) {
            window = create_main_window();
            show_main_window();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        }
        QWidget* target = control<QWidget>(focus);
        window->activateWindow();
        target->setFocus();
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : target, Qt::Key_Escape);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }));  // closed and destroyed
        EXPECT_EQ(main_window(), nullptr);
    }
}

TEST_F(main_window_test, enter_presses_no_button) {
    for (const char* name : {"按钮1", "按钮2", "按钮3", "按钮4", "按钮5", "按钮6"}) {
        auto* button = control<QPushButton>(name);
        QSignalSpy clicks(button, &QPushButton::clicked);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter);
        QTest::keyClick(control<QLineEdit>("编辑框1"), Qt::Key_Return);
        EXPECT_EQ(clicks.count(), 0) << name;
    }
    EXPECT_EQ(testing::shown_message_box(), nullptr);
}

TEST_F(main_window_test, dragging_the_frame_is_taken_back_but_maximising_shows_the_hidden_controls) {
    window->resize(700, 400);  // what a window manager's edge drag does
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->size() == main_window_client_size; }));

    window->showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isMaximized(); }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->width() > 648; }));
    QCoreApplication::processEvents();  // a restore of the design size would come now
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->isMaximized());
    EXPECT_GT(window->width(), main_window_client_size.width());
    // The hosting-offer button then works like any other (when the screen reaches it).
    auto* ids = control<QComboBox>("组合框1");
    EXPECT_TRUE(ids->isVisible());

    window->showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->size() == main_window_client_size; }));
}

}  // namespace
}  // namespace quorvelv
