#include "tests/listing/listing_page_builder.hpp"

#include <iconv.h>

#include <array>
#include <cstdio>
#include <stdexcept>

namespace quorvelv::fixtures {
namespace {

std::string convert(std::string_view text, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    std::string out(text.size() * 2 + 16, '\0');
    char* in_ptr = const_cast<char*>(text.data());
    std::size_t in_left = text.size();
    char* out_ptr = out.data();
    std::size_t out_left = out.size();
    const std::size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) throw std::runtime_error("text has no form in the target encoding");
    out.resize(out.size() - out_left);
    return out;
}

constexpr std::array<const char*, 20> names = {
    "高等数学讲义（第七版）扫描版",
    "纪录片 海洋与星空 1080P",
    "经典老歌合集 320K",
    "Linux 命令行入门教程",
    "办公软件技巧大全",
    "小学语文同步练习册",
    "家常菜谱500道",
    "摄影构图基础课程",
    "古典诗词朗诵音频",
    "英语四级真题及解析",
    "城市夜景延时素材包",
    "吉他入门视频教程",
    "中国象棋残局精选",
    "程序设计竞赛题解",
    "水彩画技法图解",
    "世界地图高清合集",
    "围棋定式大全",
    "健身训练计划表",
    "儿童睡前故事集",
    "数据结构与算法笔记",
};
constexpr std::array<const char*, 5> types = {"[电影]", "[软件]", "[电子书]", "[音乐]", "[教程]"};
constexpr std::array<const char*, 6> sizes = {"700", "1536", "45", "3", "12800", "256"};

const parser_config& config() {
    static const parser_config c = default_parser_config();
    return c;
}

std::string page_head() {
    return "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n"
           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\" />\r\n<title>" +
           to_gbk("资源共享列表") + "</title>\r\n</head>\r\n<body>\r\n<div class=\"top\"><a href=\"index.php\">" +
           to_gbk("首页") + "</a> <a href=\"xnzj.php\">" + to_gbk("主机") + "</a></div>\r\n" +
           config().section_start + "\n";
}

std::string page_tail() {
    return config().section_end + "\n<a href=\"jcbh1.php?yms=1\">" + to_gbk("下一页") +
           "</a></div>\r\n</body>\r\n</html>\r\n";
}

// Repeats unit until the section holds about `bytes` bytes, then wraps it in the page.
std::string hostile_page(std::string_view opening, std::string_view unit, std::size_t bytes) {
    std::string section(opening);
    section.reserve(bytes + unit.size());
    while (section.size() < bytes) section += unit;
    return page_head() + section + page_tail();
}

}  // namespace

std::string to_gbk(std::string_view utf8) { return convert(utf8, "GBK", "UTF-8"); }
std::string to_utf8(std::string_view gbk) { return convert(gbk, "UTF-8", "GBK"); }

page_item sample_item(std::size_t index) {
    page_item item;
    item.id = std::to_string(10000 + index);
    item.type = to_gbk(types[index % types.size()]);
    item.name = to_gbk(names[index % names.size()]);
    if (index >= names.size()) item.name.append(" ").append(std::to_string(index / names.size()));
    item.size = sizes[index % sizes.size()];
    char date[16];
    std::snprintf(date, sizeof date, "2024-%02zu-%02zu", index % 12 + 1, 10 + index % 18);
    item.date = date;
    item.password.assign(1, static_cast<char>('a' + index % 26)).append(std::to_string(100 + index % 900));
    item.link.assign("https://pan.example.net/s/1Qv").append(std::to_string(7919 * (index + 1))).append("Xk");
    return item;
}

std::vector<page_item> sample_items(std::size_t count) {
    std::vector<page_item> items;
    items.reserve(count);
    for (std::size_t i = 0; i < count; ++i) items.push_back(sample_item(i));
    return items;
}

std::vector<page_item> items_of_page(int page, std::size_t count) {
    std::vector<page_item> items;
    for (std::size_t i = 0; i < count; ++i) {
        page_item item = sample_item(i);
        item.id = std::to_string(page) + "_" + std::to_string(i);
        item.password = "pw " + item.id;
        items.push_back(item);
    }
    return items;
}

std::string item_block(const page_item& item) {
    std::string b;
    b.reserve(640 + item.name.size() + item.link.size());
    b += "<div class=\"lby\">\r\n\r\n\r\n\r\n<a href=\"jc.php?pid=" + item.id + "\" target=\"_blank\">";
    b += "<div class=\"fxan\" style=\"width:500px;  \">\r\n<span class=\"lx\">" + item.type + "</span>" + item.name +
         "\r\n</div></a>\r\n\r\n\r\n";
    b += "<div class=\"fxan\" style=\"width:80px;\">\r\n" + item.size + "MB\r\n</div>\r\n\r\n";
    b += "<div class=\"fxan\" style=\"width:87px;\">\r\n" + item.date + "</div>";
    b += "<div class=\"fxan\" style=\"display:none;\">\r\n" + item.password + "</div>";
    b += "<div class=\"fxan1\" style=\"display:none;\">\r\n" + item.link + "</div>";
    // The trailing anchor's box starts like the section end marker but goes on without a CR.
    b += "<div class=\"fxan3\" style=\"width:65px;\"><a href=\"jc.php?pid=" + item.id + "\">" + to_gbk("详情") +
         "</a></div>\r\n</div>\r\n";
    return b;
}

std::string listing_page(const std::vector<page_item>& items) {
    std::string page = page_head();
    page.reserve(page.size() + items.size() * 720 + 512);
    for (const page_item& item : items) page += item_block(item);
    return page + page_tail();
}

std::string listing_page_of(std::size_t count) { return listing_page(sample_items(count)); }

listing_item expected_item(const page_item& item) {
    return listing_item{{item.name + "\r\n", item.size + "MB", "\r\n" + item.password, "\r\n" + item.link}, item.id};
}

std::string unfinished_item_page(std::size_t bytes) {
    return hostile_page("<div class=\"lby\">\r\n\r\n\r\n\r\n<a href=\"jc.php?pid=1",
                        "\" target=\"_blank\"><div class=\"fxan\" style=\"width:500px;  \">\r\nx", bytes);
}

std::string anchor_flood_page(std::size_t bytes) { return hostile_page("", "<a href=\"", bytes); }

std::string linkless_items_page(std::size_t bytes) {
    std::string unit;
    for (std::size_t i = 0; i < 20; ++i) {
        std::string block = item_block(sample_item(i));
        const std::string link_box = "<div class=\"fxan1\" style=\"display:none;\">";
        const std::size_t at = block.find(link_box);
        const std::size_t end = block.find("</div>", at) + 6;
        unit += block.erase(at, end - at);
    }
    return hostile_page("", unit, bytes);
}

}  // namespace quorvelv::fixtures
