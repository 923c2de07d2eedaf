#include "server/demo.hpp"

#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

#include "server/gbk.hpp"

namespace quorvelv {
namespace {

struct demo_entry {
    const char* name;  // UTF-8 here, GBK in the database
    const char* size;
    const char* password;
    const char* link;
};

constexpr demo_entry demo_entries[] = {
    {"Linux 命令行入门教程（PDF）", "12", "a3k9", "https://pan.example.com/s/1Lx7QmT2"},
    {"高等数学 第七版 同济大学 课件", "86", "m2p7", "https://pan.example.com/s/1Gs8dKq0"},
    {"古典音乐精选 100 首 无损", "3120", "yy88", "https://drive.example.org/f/classical-100"},
    {"Python 编程从入门到实践 配套代码", "4.5", "无", "https://share.example.net/d/py-intro"},
    {"中国国家地理 纪录片合集 1080P", "20480", "dl52", "https://pan.example.com/s/1Cn3GeoX"},
    {"英语四级真题 2015-2024 含听力", "640", "cet4", "https://drive.example.org/f/cet4-papers"},
    {"家常菜谱大全 图文版", "35", "无", "https://share.example.net/d/recipes"},
    {"摄影后期调色预设 200 款", "158", "ps20", "https://pan.example.com/s/1Ph0toLr"},
    {"考研政治 核心考点 思维导图", "22", "ky23", "https://drive.example.org/f/kaoyan-zz"},
    {"C++ Primer 中文版 第五版", "48", "cpp5", "https://pan.example.com/s/1CppPr5e"},
    {"钢琴入门 视频课程 全 30 讲", "5632", "qin1", "https://share.example.net/d/piano-30"},
    {"经典老电影 修复版 合集", "40960", "lao6", "https://pan.example.com/s/1OldMv9z"},
    {"Office 办公技巧 实用手册", "9.8", "无", "https://drive.example.org/f/office-tips"},
    {"少儿英语绘本 有声版 120 本", "2300", "kid3", "https://share.example.net/d/picture-books"},
    {"世界名著 电子书 500 本 EPUB", "1180", "book", "https://pan.example.com/s/1Wrld500"},
    {"素描基础 教学视频", "3400", "sm01", "https://drive.example.org/f/sketch-basics"},
    {"Java 核心技术 卷一 卷二", "210", "jv11", "https://pan.example.com/s/1JavaCor"},
    {"注册会计师 会计 讲义", "75", "cpa7", "https://share.example.net/d/cpa-notes"},
    {"高清壁纸 4K 风景 800 张", "6200", "bz4k", "https://pan.example.com/s/1Wp4kLnd"},
    {"吉他弹唱 入门 谱子合集", "56", "gt66", "https://drive.example.org/f/guitar-tabs"},
    {"初中数学 知识点 总结", "18", "无", "https://share.example.net/d/junior-math"},
    {"相声大全 郭德纲 精选 MP3", "2750", "xs99", "https://pan.example.com/s/1XiangSh"},
    {"机器学习 公开课 讲义与视频", "12800", "ml21", "https://drive.example.org/f/ml-course"},
    {"书法字帖 楷书 行书 高清扫描", "430", "sf08", "https://share.example.net/d/calligraphy"},
    {"健身训练计划 男女通用", "27", "fit5", "https://pan.example.com/s/1FitPlan"},
    {"Photoshop 零基础教程", "4800", "无", "https://drive.example.org/f/ps-zero"},
    {"中医养生 经典书籍 合集", "310", "zy12", "https://share.example.net/d/tcm-books"},
    {"历史纪录片 大明王朝", "15360", "ming", "https://pan.example.com/s/1MingDyn"},
    {"雅思口语 高分范文", "14", "ielt", "https://drive.example.org/f/ielts-speaking"},
    {"儿童睡前故事 音频 365 集", "1900", "gs36", "https://share.example.net/d/bedtime"},
    {"数据结构与算法 习题解答", "31", "ds42", "https://pan.example.com/s/1DsAlgo0"},
    {"围棋入门 对局讲解", "2600", "wq19", "https://drive.example.org/f/go-lessons"},
    {"电工基础 实操视频", "7300", "dg30", "https://share.example.net/d/electrician"},
    {"唐诗三百首 朗读版", "420", "无", "https://pan.example.com/s/1TangPoe"},
    {"Excel 函数公式 速查表", "2.6", "xl01", "https://drive.example.org/f/excel-sheet"},
    {"自然风光 航拍素材 4K", "25600", "hp4k", "https://share.example.net/d/aerial"},
    {"日语五十音 入门课程", "980", "ri50", "https://pan.example.com/s/1Kana50x"},
    {"公务员考试 行测 申论 真题", "260", "gwy8", "https://drive.example.org/f/civil-exam"},
    {"UI 设计 图标素材 3000 个", "540", "ui30", "https://share.example.net/d/ui-icons"},
    {"小学语文 课文朗读 音频", "1500", "yw12", "https://pan.example.com/s/1YuwenRd"},
    {"Go 语言 实战 源码", "8", "go11", "https://drive.example.org/f/go-in-action"},
    {"京剧经典唱段 合集", "3300", "jj07", "https://share.example.net/d/peking-opera"},
    {"家庭园艺 种花养草 指南", "44", "无", "https://pan.example.com/s/1Garden0"},
    {"天文望远镜 使用手册", "6.3", "tw55", "https://drive.example.org/f/telescope"},
    {"网络安全 基础 实验教程", "720", "sec9", "https://share.example.net/d/netsec-labs"},
};

std::string gbk(const char* utf8) {
    std::optional<std::string> text = gbk_from_utf8(utf8);
    if (!text) throw std::runtime_error(std::string("no GBK form for demo text ") + utf8);
    return *text;
}

}  // namespace

std::vector<new_resource> demo_resources(std::int64_t now) {
    std::vector<new_resource> list;
    const auto count = static_cast<std::int64_t>(std::size(demo_entries));
    for (std::int64_t i = 0; i < count; ++i) {
        const demo_entry& entry = demo_entries[i];
        new_resource r;
        r.category = 2;
        r.name = gbk(entry.name);
        r.size = entry.size;
        r.password = gbk(entry.password);
        r.link = entry.link;
        // Spread over the past weeks, roughly one or two a day, oldest first so the newest gets the highest id.
        r.created = now - (count - i) * 11 * 3600;
        list.push_back(std::move(r));
    }
    return list;
}

std::vector<new_resource> generated_resources(std::int64_t count, std::int64_t now) {
    static const std::string prefix = gbk("测试资源 ");
    std::vector<new_resource> list;
    list.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    for (std::int64_t i = 1; i <= count; ++i) {
        new_resource r;
        r.category = 2;
        // Appends rather than operator+ on literals: GCC 12 at -O3 warns wrongly about those (-Wrestrict).
        const std::string number = std::to_string(i);
        r.name.append(prefix).append(number);
        r.size = std::to_string(1 + i % 4096);
        r.password.append("p").append(std::to_string(i % 10000));
        r.link.append("https://pan.example.com/s/load-").append(number);
        r.created = now - (count - i) * 60;
        list.push_back(std::move(r));
    }
    return list;
}

}  // namespace quorvelv
