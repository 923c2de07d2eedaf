#include "ui/gbk.hpp"

#include <gtest/gtest.h>

#include <string>

#include "tests/ui/gui_support.hpp"

namespace quorvelv {
namespace {

using testing::gbk;

TEST(gbk, decodes_ascii_and_chinese) {
    EXPECT_EQ(gbk_to_qstring("abc\r\n"), QStringLiteral("abc\r\n"));
    EXPECT_EQ(gbk_to_qstring(gbk("已经成功复制密码")), QStringLiteral("已经成功复制密码"));
    EXPECT_EQ(gbk_to_qstring(gbk("１２")), QStringLiteral("１２"));
    EXPECT_EQ(gbk_to_qstring(""), QString());
}

// iconv never substitutes; the display does, byte by byte, and goes on after the bad byte.
TEST(gbk, shows_invalid_bytes_as_replacement_characters) {
    struct case_ {
        std::string bytes;
        QString shown;
    } cases[] = {
        {"\xFF", QStringLiteral("\uFFFD")},
        {"a\xFFz", QStringLiteral("a\uFFFDz")},
        {"\x80", QStringLiteral("\u20AC")},  // code page 936 has the euro sign at 0x80
        {"ab\xB0", QStringLiteral("ab\uFFFD")},               // a lone lead byte at the end
        {"\xB0\n" + gbk("页"), QStringLiteral("\uFFFD\n页")},  // a lead byte whose partner cannot follow it
        {gbk("页") + "\xFF" + gbk("码"), QStringLiteral("页\uFFFD码")},
    };
    for (const auto& c : cases) EXPECT_EQ(gbk_to_qstring(c.bytes), c.shown) << c.bytes;
}

TEST(gbk, encodes_and_round_trips) {
    const std::string texts[] = {"", "plain ascii\r\n", gbk("教程名称，大小（MB）：“密码”"), gbk("下载密码：")};
    for (const auto& text : texts) EXPECT_EQ(qstring_to_gbk(gbk_to_qstring(text)), text);
    EXPECT_EQ(qstring_to_gbk(QStringLiteral("a\u0E01b\U0001F600c")), "a?b?c");  // characters GBK lacks
}

}  // namespace
}  // namespace quorvelv
