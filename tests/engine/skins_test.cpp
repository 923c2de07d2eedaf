// The 56 carried skins: their signature, their sizes, and that the engine takes every one.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>

#include <QApplication>
#include <QFile>
#include <QMetaEnum>
#include <QPalette>
#include <QStyle>
#include <QTemporaryDir>

#include "engine/skin_engine.hpp"
#include "engine/skin_format.hpp"
#include "resources/carried.hpp"
#include "tests/engine/engine_support.hpp"

namespace quorvelv {
namespace {

TEST(skins, numbers_outside_the_set_have_no_skin) {
    for (const std::int32_t number : {0, -1, 57, 1000, INT32_MIN, INT32_MAX}) EXPECT_TRUE(skin_image(number).empty());
}

TEST(skins, each_has_the_signature_and_a_size_in_range) {
    std::set<std::string_view> distinct;
    for (std::int32_t number = 1; number <= skin_count; ++number) {
        SCOPED_TRACE(number);
        const auto skin = skin_image(number);
        EXPECT_EQ(skin.substr(0, 6), std::string_view(".SHE\0\3", 6));
        EXPECT_GE(skin.size(), 7177u);
        EXPECT_LE(skin.size(), 58441u);
        distinct.insert(skin);
    }
    EXPECT_EQ(distinct.size(), 55u);  // 37 and 40 share their file, all others differ
}

TEST(skins, the_sizes_the_set_fixes) {
    EXPECT_EQ(skin_image(9).size(), 7177u);
    EXPECT_EQ(skin_image(38).size(), 15562u);
    EXPECT_EQ(skin_image(56).size(), 58441u);
    EXPECT_EQ(skin_image(37).size(), 20552u);
    EXPECT_EQ(skin_image(37), skin_image(40));
    for (std::int32_t number = 1; number <= skin_count; ++number) {
        if (number != 9) {
            EXPECT_GT(skin_image(number).size(), skin_image(9).size()) << number;
        }
        if (number != 56) {
            EXPECT_LT(skin_image(number).size(), skin_image(56).size()) << number;
        }
    }
}

TEST(skins, every_one_attaches_without_error) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const auto attach = testing::built_engine_attach();
    ASSERT_NE(attach, nullptr);
    for (std::int32_t number = 1; number <= skin_count; ++number) {
        SCOPED_TRACE(number);
        const auto read = skin_format::read_skin(skin_image(number), "");
        ASSERT_EQ(read.status, skin_format::read_status::ok);
        EXPECT_FALSE(read.document.name.empty());
        EXPECT_TRUE(read.document.tile.has_value());

        const auto path = directory.filePath(QString::number(number) + QStringLiteral(".she"));
        testing::write_bytes(path, skin_image(number));
        ASSERT_EQ(attach(QFile::encodeName(path).constData(), ""), skin_attached);
        EXPECT_EQ(qApp->styleSheet(), QString::fromUtf8(read.document.style_sheet));
    }
    qApp->setStyleSheet(QString());
    EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
}

TEST(skins, the_program_skin_has_readable_contrast) {
    // Skin 38 is the one the program shows: its text must stand out from windows, fields and the selection.
    const auto read = skin_format::read_skin(skin_image(38), "");
    ASSERT_EQ(read.status, skin_format::read_status::ok);
    EXPECT_EQ(read.document.name, "Clear Sky");
    QPalette palette;
    for (const auto& entry : read.document.palette) {
        if (entry.group != skin_format::colour_group::all) continue;
        bool known = false;
        const auto role = QMetaEnum::fromType<QPalette::ColorRole>().keyToValue(entry.role.c_str(), &known);
        ASSERT_TRUE(known) << entry.role;
        palette.setColor(static_cast<QPalette::ColorRole>(role),
                         QColor(entry.colour.red, entry.colour.green, entry.colour.blue));
    }
    const auto contrast = [](QColor a, QColor b) {
        const auto light = [](QColor c) {
            const auto linear = [](double v) {
                return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
        };
        const double x = light(a), y = light(b);
        return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
    };
    EXPECT_GE(contrast(palette.color(QPalette::WindowText), palette.color(QPalette::Window)), 7.0);
    EXPECT_GE(contrast(palette.color(QPalette::Text), palette.color(QPalette::Base)), 7.0);
    EXPECT_GE(contrast(palette.color(QPalette::HighlightedText), palette.color(QPalette::Highlight)), 4.5);
}

}  // namespace
}  // namespace quorvelv
