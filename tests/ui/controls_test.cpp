#include "ui/controls.hpp"

#include <gtest/gtest.h>

#include <string>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>

#include "tests/ui/gui_support.hpp"

namespace quorvelv {
namespace {

using testing::gbk;

// Bytes a cell or a box must give back as they were written, whatever they are.
std::vector<std::string> awkward_texts() {
    return {"",
            "abc",
            gbk("免费1G虚拟主机+数据库+免费域名"),
            "\r\n" + gbk("密码") + "\r\n",
            "\xFF\xFF",
            "name\xB0",  // a lone lead byte at the end
            "\r",
            std::string(100000, 'x') + gbk("尾")};
}

TEST(controls, list_cells_give_back_their_bytes) {
    QTreeWidget list;
    list.setColumnCount(4);
    const auto texts = awkward_texts();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const int row = append_row(&list, texts[i]);
        ASSERT_EQ(row, static_cast<int>(i));
        set_cell(&list, row, 3, texts[texts.size() - 1 - i]);
    }
    ASSERT_EQ(row_count(&list), static_cast<int>(texts.size()));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(cell_text(&list, static_cast<int>(i), 0), texts[i]);
        EXPECT_EQ(cell_text(&list, static_cast<int>(i), 1), "");
        EXPECT_EQ(cell_text(&list, static_cast<int>(i), 3), texts[texts.size() - 1 - i]);
    }
    // The screen shows one line per cell: no line breaks, replacement characters for invalid bytes.
    EXPECT_EQ(list.topLevelItem(3)->text(0), QStringLiteral("密码"));
    EXPECT_EQ(list.topLevelItem(4)->text(0), QStringLiteral("\uFFFD\uFFFD"));
}

TEST(controls, list_rows_outside_the_list_read_empty_and_are_not_written) {
    QTreeWidget list;
    list.setColumnCount(4);
    append_row(&list, "a");
    set_cell(&list, 1, 0, "beyond");
    set_cell(&list, -1, 0, "before");
    set_cell(&list, 0, 4, "no such column");
    EXPECT_EQ(row_count(&list), 1);
    EXPECT_EQ(cell_text(&list, 0, 0), "a");
    EXPECT_EQ(cell_text(&list, -1, 2), "");
    EXPECT_EQ(cell_text(&list, 1, 2), "");
    EXPECT_EQ(selected_row(&list), -1);
    clear_rows(&list);
    EXPECT_EQ(row_count(&list), 0);
}

TEST(controls, drop_down_entries_keep_order_and_bytes_and_select_nothing) {
    QComboBox combo;
    combo.setEditable(true);
    combo.setEditText(QStringLiteral("typed"));
    const auto texts = awkward_texts();
    for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(add_entry(&combo, texts[i]), static_cast<int>(i));
    EXPECT_EQ(combo.currentIndex(), -1);
    EXPECT_EQ(combo.currentText(), QStringLiteral("typed"));
    ASSERT_EQ(entry_count(&combo), static_cast<int>(texts.size()));
    for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(entry_text(&combo, static_cast<int>(i)), texts[i]);
    clear_entries(&combo);
    EXPECT_EQ(entry_count(&combo), 0);
    EXPECT_EQ(entry_text(&combo, 0), "");
}

TEST(controls, line_boxes_keep_cr_and_lf_and_any_bytes) {
    QLineEdit box;
    for (const auto& text : awkward_texts()) {
        set_box_text(&box, text);
        EXPECT_EQ(box_text(&box), text);
    }
    set_box_text(&box, "x\r\ny\r");
    EXPECT_EQ(box.text(), QStringLiteral("x\r\ny\r"));  // the widget itself keeps them too
    // What the user types comes back as GBK.
    box.clear();
    box.insert(QStringLiteral("１２页"));  // as typed
    EXPECT_EQ(box_text(&box), gbk("１２页"));
}

TEST(controls, the_multi_line_box_gives_line_breaks_back_as_cr_lf) {
    QPlainTextEdit box;
    const std::string set = "line 1\r\nline 2\r\n\r\n.*?\r\n" + gbk("尾") + "\xFF";
    set_box_text(&box, set);
    EXPECT_EQ(box_text(&box), set);
    EXPECT_EQ(box.toPlainText(), QStringLiteral("line 1\nline 2\n\n.*?\n尾\uFFFD"));

    // An edit: every line break comes back as CR LF, those the user typed included.
    set_box_text(&box, "a\r\nb");
    box.moveCursor(QTextCursor::End);
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClicks(&box, QStringLiteral("c"));
    EXPECT_EQ(box_text(&box), "a\r\nb\r\nc");
}

}  // namespace
}  // namespace quorvelv
