#pragma once
// Every fixed text of the site's pages, as GBK bytes (the pages are served in GBK). The UTF-8 comment beside each
// says what it reads. The listing markers are what clients cut the listing by: change them and every client
// in the field stops finding resources.

#include <string_view>

namespace quorvelv::site_texts {

// Listing layout. The section runs from the banner to the first pager box; every item block sits between them.
inline constexpr std::string_view section_start =
    "<div style=\"font-size: 14px;\r\npadding: 8px;\r\nwidth: 696px;\r\nmargin-bottom: 5px;border: 1px solid "
    "#0F4179;\r\nbackground: #CAE5FF;\r\ncolor: #093368;\">Zelvora\xCD\xF8\xC5\xCC\xD7\xCA\xD4\xB4\xC3\xE6\xCF"
    "\xF2\xC8\xAB\xCD\xF8\xB9\xB2\xCF\xED\xA3\xAC\xC8\xE7\xB9\xFB\xC4\xFA\xD3\xD0\xD3\xC5\xD6\xCA\xD7\xCA\xD4\xB4"
    "\xA3\xAC\xBF\xC9\xD2\xD4<a href=\"tjwz.php\" style=\"color: #093368;\"><b>[\xB5\xE3\xBB\xF7\xB4\xCB\xB4\xA6"
    "\xB7\xD6\xCF\xED]</b></a>\xA1\xA3</div>\r";
// "…Zelvora网盘资源面向全网共享，如果您有优质资源，可以…[点击此处分享]…。" ends in a lone CR; the page adds the LF.
inline constexpr std::string_view section_end = "<div class=\"fxan3\" style=\"width:65px;\">\r";  // the first pager box

inline constexpr std::string_view item_start = "<div class=\"lby\">\r\n\r\n\r\n\r\n<a href=\"jc.php?pid=";
inline constexpr std::string_view title_box = "\" target=\"_blank\"><div class=\"fxan\" style=\"width:500px;  \">\r\n";
inline constexpr std::string_view title_box_end = "\r\n</div></a>\r\n\r\n\r\n";
inline constexpr std::string_view size_box = "<div class=\"fxan\" style=\"width:80px;\">\r\n";
inline constexpr std::string_view size_box_end = "MB\r\n</div>\r\n\r\n";
inline constexpr std::string_view date_box = "<div class=\"fxan\" style=\"width:87px;\">\r\n";
inline constexpr std::string_view password_box = "</div><div class=\"fxan\" style=\"display:none;\">\r\n";
inline constexpr std::string_view link_box = "</div><div class=\"fxan1\" style=\"display:none;\">\r\n";
inline constexpr std::string_view item_details = "</div>\r\n<a href=\"jc.php?pid=";  // then the id, then:
inline constexpr std::string_view item_end = "\">\xCF\xEA\xC7\xE9</a>\r\n</div>\r\n";  // 详情

inline constexpr std::string_view label_drive = "[\xCD\xF8\xC5\xCC]";     // [网盘]
inline constexpr std::string_view label_other = "[\xD7\xCA\xD4\xB4]";     // [资源]

// Page chrome.
inline constexpr std::string_view site_name = "Zelvora\xCD\xF8\xC5\xCC\xD7\xCA\xD4\xB4";  // Zelvora网盘资源
inline constexpr std::string_view site_motto =  // 网盘资源共享：浏览、搜索和分享网盘里的文件。
    "\xCD\xF8\xC5\xCC\xD7\xCA\xD4\xB4\xB9\xB2\xCF\xED\xA3\xBA\xE4\xAF\xC0\xC0\xA1\xA2\xCB\xD1\xCB\xF7\xBA\xCD"
    "\xB7\xD6\xCF\xED\xCD\xF8\xC5\xCC\xC0\xEF\xB5\xC4\xCE\xC4\xBC\xFE\xA1\xA3";
inline constexpr std::string_view browse = "\xE4\xAF\xC0\xC0\xD7\xCA\xD4\xB4";         // 浏览资源
inline constexpr std::string_view share = "\xB7\xD6\xCF\xED\xD7\xCA\xD4\xB4";          // 分享资源
inline constexpr std::string_view hosting = "\xD6\xF7\xBB\xFA\xD3\xC5\xBB\xDD";        // 主机优惠
inline constexpr std::string_view no_hosting_offer =  // 本站目前没有主机优惠活动。
    "\xB1\xBE\xD5\xBE\xC4\xBF\xC7\xB0\xC3\xBB\xD3\xD0\xD6\xF7\xBB\xFA\xD3\xC5\xBB\xDD\xBB\xEE\xB6\xAF\xA1\xA3";
inline constexpr std::string_view back_home = "\xB7\xB5\xBB\xD8\xCA\xD7\xD2\xB3";      // 返回首页
inline constexpr std::string_view back_to_list = "\xB7\xB5\xBB\xD8\xC1\xD0\xB1\xED";   // 返回列表

// Pager.
inline constexpr std::string_view previous_page = "\xC9\xCF\xD2\xBB\xD2\xB3";  // 上一页
inline constexpr std::string_view next_page = "\xCF\xC2\xD2\xBB\xD2\xB3";      // 下一页
inline constexpr std::string_view first_page = "\xCA\xD7\xD2\xB3";             // 首页
inline constexpr std::string_view page_before = "\xB5\xDA";                    // 第 (page N)
inline constexpr std::string_view page_after = "\xD2\xB3";                     // 页
inline constexpr std::string_view no_more = "\xC3\xBB\xD3\xD0\xB8\xFC\xB6\xE0\xD7\xCA\xD4\xB4\xC1\xCB\xA1\xA3";
                                                                               // 没有更多资源了。

// Resource page.
inline constexpr std::string_view resource_number = "\xD7\xCA\xD4\xB4\xB1\xE0\xBA\xC5\xA3\xBA";     // 资源编号：
inline constexpr std::string_view size_label = "\xB4\xF3\xD0\xA1\xA3\xBA";                         // 大小：
inline constexpr std::string_view date_label = "\xB7\xA2\xB2\xBC\xC8\xD5\xC6\xDA\xA3\xBA";         // 发布日期：
inline constexpr std::string_view password_label = "\xCF\xC2\xD4\xD8\xC3\xDC\xC2\xEB\xA3\xBA";     // 下载密码：
inline constexpr std::string_view link_label = "\xCF\xC2\xD4\xD8\xB5\xD8\xD6\xB7\xA3\xBA";         // 下载地址：

// Publishing form.
inline constexpr std::string_view name_field = "\xD7\xCA\xD4\xB4\xC3\xFB\xB3\xC6\xA3\xBA";          // 资源名称：
inline constexpr std::string_view link_field = "\xCD\xF8\xC5\xCC\xCF\xC2\xD4\xD8\xB5\xD8\xD6\xB7\xA3\xBA";
                                                                                                     // 网盘下载地址：
inline constexpr std::string_view size_field = "\xB4\xF3\xD0\xA1\xA3\xA8MB\xA3\xA9\xA3\xBA";        // 大小（MB）：
inline constexpr std::string_view password_field = "\xC3\xDC\xC2\xEB\xA3\xBA";                      // 密码：
inline constexpr std::string_view no_password = "\xCE\xDE";                                          // 无
inline constexpr std::string_view publish = "\xB7\xA2\xB2\xBC";                                      // 发布

// Outcomes and errors.
inline constexpr std::string_view published_for_review =  // 发布成功，请等待审核
    "\xB7\xA2\xB2\xBC\xB3\xC9\xB9\xA6\xA3\xAC\xC7\xEB\xB5\xC8\xB4\xFD\xC9\xF3\xBA\xCB";
inline constexpr std::string_view published = "\xB7\xA2\xB2\xBC\xB3\xC9\xB9\xA6";          // 发布成功
inline constexpr std::string_view fields_missing =  // 请完善信息后再发布
    "\xC7\xEB\xCD\xEA\xC9\xC6\xD0\xC5\xCF\xA2\xBA\xF3\xD4\xD9\xB7\xA2\xB2\xBC";
inline constexpr std::string_view malformed_form =  // 提交的内容格式不正确
    "\xCC\xE1\xBD\xBB\xB5\xC4\xC4\xDA\xC8\xDD\xB8\xF1\xCA\xBD\xB2\xBB\xD5\xFD\xC8\xB7";
inline constexpr std::string_view form_too_long = "\xCC\xE1\xBD\xBB\xB5\xC4\xC4\xDA\xC8\xDD\xB9\xFD\xB3\xA4";
                                                                                             // 提交的内容过长
inline constexpr std::string_view no_such_resource = "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD\xB8\xC3\xD7\xCA\xD4\xB4";
                                                                                             // 没有找到该资源
inline constexpr std::string_view no_such_page = "\xD2\xB3\xC3\xE6\xB2\xBB\xB4\xE6\xD4\xDA";             // 页面不存在
inline constexpr std::string_view internal_error = "\xB7\xFE\xCE\xF1\xC6\xF7\xC4\xDA\xB2\xBF\xB4\xED\xCE\xF3";
                                                                                             // 服务器内部错误
inline constexpr std::string_view request_failed = "\xB3\xF6\xB4\xED\xC1\xCB";                          // 出错了

}  // namespace quorvelv::site_texts
