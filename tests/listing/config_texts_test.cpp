// The configuration boxes' initial texts, checked byte for byte against the texts the site's pages carry,
// typed here in readable form (UTF-8) and converted to GBK by iconv.
#include "listing/config_texts.hpp"

#include <gtest/gtest.h>

#include "listing/parser.hpp"
#include "tests/listing/listing_page_builder.hpp"

namespace quorvelv {
namespace {

using fixtures::to_gbk;

TEST(ConfigTexts, AreTheBoxesInitialTextsInGbk) {
    const parser_config config = default_parser_config();
    EXPECT_EQ(config.section_start,
              to_gbk("<div style=\"font-size: 14px;\r\npadding: 8px;\r\nwidth: 696px;\r\nmargin-bottom: 5px;border: 1px "
                     "solid #0F4179;\r\nbackground: #CAE5FF;\r\ncolor: #093368;\">Zelvora网盘资源面向全网共享，如果您有"
                     "优质资源，可以<a href=\"tjwz.php\" style=\"color: #093368;\"><b>[点击此处分享]</b></a>。</div>\r"));
    EXPECT_EQ(config.section_end, to_gbk("<div class=\"fxan3\" style=\"width:65px;\">\r"));
    EXPECT_EQ(config.item_pattern,
              to_gbk("<a href=\".*?\" target=\"_blank\"><div class=\"fxan\" style=\"width:500px;  \">\r\n.*?\r\n</div>"
                     "</a>\r\n\r\n\r\n<div class=\"fxan\" style=\"width:80px;\">\r\n.*?\r\n</div>\r\n\r\n<div "
                     "class=\"fxan\" style=\"width:87px;\">\r\n.*?</div><div class=\"fxan\" style=\"display:none;\">"
                     "\r\n.*?</div><div class=\"fxan1\" style=\"display:none;\">\r\n.*?</div>"));
    EXPECT_EQ(config.size_marker, to_gbk("<div class=\"fxan\" style=\"width:80px;\">\r\n"));
    EXPECT_EQ(config.password_marker, to_gbk("<div class=\"fxan\" style=\"display:none;\">"));
    EXPECT_EQ(config.link_marker, to_gbk("<div class=\"fxan1\" style=\"display:none;\">"));
    EXPECT_EQ(config.id_marker, to_gbk("<div class=\"lby\">\r\n\r\n\r\n\r\n<a href=\"jc.php?pid="));
    EXPECT_EQ(default_box6_text(), to_gbk("下载密码：<span style=\"color:red; font-size:25px;\">"));
    EXPECT_EQ(default_box7_text(), to_gbk("</span>\r\n</div>\r\n<a href=\""));
}

TEST(ConfigTexts, KeepTheirTellingBytes) {
    const parser_config config = default_parser_config();
    EXPECT_EQ(config.item_pattern.size(), 301u);
    EXPECT_NE(config.item_pattern.find("width:500px;  \">"), std::string::npos);  // two blanks
    EXPECT_EQ(config.section_end.back(), '\r');                                   // a lone CR ends it
    EXPECT_EQ(config.section_start.back(), '\r');
    EXPECT_EQ(config.section_start.size(), 274u);
    EXPECT_EQ(default_box6_text().substr(0, 10), "\xCF\xC2\xD4\xD8\xC3\xDC\xC2\xEB\xA3\xBA");  // 下载密码：
}

}  // namespace
}  // namespace quorvelv
