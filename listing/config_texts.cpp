#include "listing/config_texts.hpp"

#include "listing/parser.hpp"

// Every text here is GBK, byte for byte as the site's pages carry it; Chinese characters are written as their
// GBK bytes, with the text in the comment beside them. Literals are split after each \x run so that a
// following hex letter or digit cannot join the escape.

namespace quorvelv {

parser_config default_parser_config() {
    parser_config config;
    // 编辑框3: <div style="font-size: 14px;\r\n ... color: #093368;">Zelvora网盘资源面向全网共享，如果您有优质资源，
    // 可以<a href="tjwz.php" style="color: #093368;"><b>[点击此处分享]</b></a>。</div>\r
    config.section_start =
        "<div style=\"font-size: 14px;\r\n"
        "padding: 8px;\r\n"
        "width: 696px;\r\n"
        "margin-bottom: 5px;border: 1px solid #0F4179;\r\n"
        "background: #CAE5FF;\r\n"
        "color: #093368;\">Zelvora"
        "\xCD\xF8\xC5\xCC\xD7\xCA\xD4\xB4\xC3\xE6\xCF\xF2\xC8\xAB\xCD\xF8\xB9\xB2\xCF\xED"  // 网盘资源面向全网共享
        "\xA3\xAC"                                                                          // ，
        "\xC8\xE7\xB9\xFB\xC4\xFA\xD3\xD0\xD3\xC5\xD6\xCA\xD7\xCA\xD4\xB4"                  // 如果您有优质资源
        "\xA3\xAC"                                                                          // ，
        "\xBF\xC9\xD2\xD4"                                                                  // 可以
        "<a href=\"tjwz.php\" style=\"color: #093368;\"><b>["
        "\xB5\xE3\xBB\xF7\xB4\xCB\xB4\xA6\xB7\xD6\xCF\xED"  // 点击此处分享
        "]</b></a>"
        "\xA1\xA3"  // 。
        "</div>\r";
    // 编辑框4: ends in a lone CR.
    config.section_end = "<div class=\"fxan3\" style=\"width:65px;\">\r";
    // 编辑框2: one line of 301 bytes; the six ".*?" are its only special characters.
    config.item_pattern =
        "<a href=\".*?\" target=\"_blank\"><div class=\"fxan\" style=\"width:500px;  \">\r\n"
        ".*?\r\n"
        "</div></a>\r\n"
        "\r\n"
        "\r\n"
        "<div class=\"fxan\" style=\"width:80px;\">\r\n"
        ".*?\r\n"
        "</div>\r\n"
        "\r\n"
        "<div class=\"fxan\" style=\"width:87px;\">\r\n"
        ".*?</div><div class=\"fxan\" style=\"display:none;\">\r\n"
        ".*?</div><div class=\"fxan1\" style=\"display:none;\">\r\n"
        ".*?</div>";
    config.size_marker = "<div class=\"fxan\" style=\"width:80px;\">\r\n";  // 编辑框5
    config.password_marker = "<div class=\"fxan\" style=\"display:none;\">";  // 编辑框9
    config.link_marker = "<div class=\"fxan1\" style=\"display:none;\">";    // 编辑框10
    config.id_marker = "<div class=\"lby\">\r\n\r\n\r\n\r\n<a href=\"jc.php?pid=";  // 编辑框8
    return config;
}

std::string default_box6_text() {
    // 下载密码：<span style="color:red; font-size:25px;">
    return "\xCF\xC2\xD4\xD8\xC3\xDC\xC2\xEB"  // 下载密码
           "\xA3\xBA"                          // ：
           "<span style=\"color:red; font-size:25px;\">";
}

std::string default_box7_text() { return "</span>\r\n</div>\r\n<a href=\""; }

}  // namespace quorvelv
