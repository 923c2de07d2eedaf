#include "listing/parser.hpp"

#include <gtest/gtest.h>

#include <boost/regex.hpp>

#include <stdexcept>
#include <string>
#include <vector>

#include "listing/text.hpp"
#include "tests/listing/listing_page_builder.hpp"

namespace quorvelv {

bool operator==(const listing_item& a, const listing_item& b) {
    return a.row.name == b.row.name && a.row.size == b.row.size && a.row.password == b.row.password &&
           a.row.link == b.row.link && a.resource_id == b.resource_id;
}
void PrintTo(const listing_item& item, std::ostream* os) {
    *os << "{name '" << item.row.name << "' size '" << item.row.size << "' password '" << item.row.password
        << "' link '" << item.row.link << "' id '" << item.resource_id << "'}";
}

namespace {

using namespace fixtures;
const std::string failure(failure_text);

std::vector<listing_item> parse(std::string_view page, const parser_config& config = default_parser_config()) {
    std::vector<listing_item> items;
    parse_listing_page(page, config, [&](const listing_item& item) { items.push_back(item); });
    return items;
}

// The parse exactly as the site's client always did it: the engine over the rest of the section, every
// search unbounded. Only for pages where that ends in reasonable time.
std::vector<listing_item> parse_with_plain_engine(std::string_view page, const parser_config& config) {
    std::vector<listing_item> items;
    const std::string section = text_between(page, config.section_start, config.section_end, 0);
    boost::regex pattern;
    try {
        pattern.assign(config.item_pattern, boost::regex::perl);
    } catch (const std::exception&) {
        return items;
    }
    const char* p = section.data();
    const char* const end = p + section.size();
    for (;;) {
        boost::cmatch m;
        if (!boost::regex_search(p, end, m, pattern, boost::match_default)) break;
        const std::string match = m.str(0);
        listing_item item;
        item.row.name = text_between(match, "</span>", "</div>", 0);
        item.row.password = text_between(match, config.password_marker, "<", 0);
        item.row.link = text_between(match, config.link_marker, "<", 0);
        item.row.size = text_between(match, config.size_marker, "MB", 0) + "MB";
        item.resource_id = text_between(match, items.empty() ? "jc.php?pid=" : config.id_marker, "\"", 0);
        items.push_back(item);
        p = m[0].second;
        if (m[0].first == m[0].second) {
            if (p == end) break;
            ++p;
        }
    }
    return items;
}

std::string replace_all(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string ascii_upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return text;
}

// The default pattern in a group: the same matches, but not of the literal shape, so the engine runs it.
parser_config grouped_pattern_config() {
    parser_config config = default_parser_config();
    config.item_pattern = "(?:" + config.item_pattern + ")";
    return config;
}

TEST(ParseListingPage, EmptyPageYieldsNothing) { EXPECT_TRUE(parse("").empty()); }

TEST(ParseListingPage, TwentyItemsWithChineseNamesInPageOrder) {
    const std::vector<page_item> page_items = sample_items(20);
    const std::vector<listing_item> items = parse(listing_page(page_items));
    ASSERT_EQ(items.size(), 20u);
    for (std::size_t k = 0; k < items.size(); ++k) EXPECT_EQ(items[k], expected_item(page_items[k])) << "item " << k;
    // Spelled out once: the name ends in CR LF, password and link begin with it, the size gets "MB".
    EXPECT_EQ(items[0].row.name, to_gbk("高等数学讲义（第七版）扫描版\r\n"));
    EXPECT_EQ(items[0].row.size, "700MB");
    EXPECT_EQ(items[0].row.password, "\r\na100");
    EXPECT_EQ(items[0].row.link, "\r\nhttps://pan.example.net/s/1Qv7919Xk");
    EXPECT_EQ(items[0].resource_id, "10000");
    EXPECT_EQ(items[19].resource_id, "10019");
    EXPECT_EQ(items, parse_with_plain_engine(listing_page(page_items), default_parser_config()));
}

TEST(ParseListingPage, LaterIdsAreCutAfterTheIdMarker) {
    // Every later match begins at the item before's trailing anchor, so "jc.php?pid=" would give its id.
    parser_config config = default_parser_config();
    config.id_marker = "no such marker";
    const std::vector<listing_item> items = parse(listing_page_of(3), config);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].resource_id, "10000");
    EXPECT_EQ(items[1].resource_id, failure);
    EXPECT_EQ(items[2].resource_id, failure);
}

TEST(ParseListingPage, NoSectionNoItems) {
    const std::string page = listing_page_of(3);
    const parser_config config = default_parser_config();
    EXPECT_TRUE(parse(replace_all(page, config.section_start, "<div>")).empty());
    // The end marker's lone CR matters: the trailing anchors' boxes begin the same way without it.
    EXPECT_TRUE(parse(replace_all(page, config.section_end, "<div class=\"fxan3\" style=\"width:65px;\">")).empty());
    // Without a section the pattern is not even tried on the failure text.
    parser_config anything = config;
    anything.item_pattern = ".";
    EXPECT_TRUE(parse("<html></html>", anything).empty());
}

TEST(ParseListingPage, MarkersIgnoreCaseButThePatternDoesNot) {
    const std::string page = listing_page_of(3);
    const std::vector<listing_item> expected = parse(page);
    ASSERT_EQ(expected.size(), 3u);
    const parser_config config = default_parser_config();

    const std::string shouting_section =
        replace_all(replace_all(page, config.section_start, ascii_upper(config.section_start)), config.section_end,
                    ascii_upper(config.section_end));
    EXPECT_EQ(parse(shouting_section), expected);

    parser_config shouting_markers = config;
    shouting_markers.size_marker = ascii_upper(config.size_marker);
    shouting_markers.password_marker = ascii_upper(config.password_marker);
    shouting_markers.link_marker = ascii_upper(config.link_marker);
    shouting_markers.id_marker = ascii_upper(config.id_marker);
    EXPECT_EQ(parse(page, shouting_markers), expected);

    EXPECT_TRUE(parse(replace_all(page, "<a href=", "<A HREF=")).empty());
}

TEST(ParseListingPage, MissingFieldMarkersGiveTheFailureText) {
    const std::vector<page_item> page_items = sample_items(4);
    std::vector<std::string> blocks;
    for (const page_item& item : page_items) blocks.push_back(item_block(item));
    blocks[1] = replace_all(blocks[1], "</span>", "</em>");
    blocks[2] = replace_all(blocks[2], "MB\r\n", "\r\n");
    blocks[3] = replace_all(blocks[3], "MB\r\n", "mb\r\n");
    std::string body;
    for (const std::string& block : blocks) body += block;
    const std::string section_end = default_parser_config().section_end;
    const std::string page = replace_all(listing_page({}), section_end, body + section_end);

    const std::vector<listing_item> items = parse(page);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0], expected_item(page_items[0]));
    EXPECT_EQ(items[1].row.name, failure);
    EXPECT_EQ(items[1].row.size, page_items[1].size + "MB");
    EXPECT_EQ(items[2].row.size, failure + "MB");
    EXPECT_EQ(items[2].row.name, page_items[2].name + "\r\n");
    EXPECT_EQ(items[3].row.size, page_items[3].size + "MB");  // "mb" ends it as well
    EXPECT_EQ(items, parse_with_plain_engine(page, default_parser_config()));
}

TEST(ParseListingPage, EachItemIsHandedOnBeforeTheNextIsCut) {
    int calls = 0;
    for (const parser_config& config : {default_parser_config(), grouped_pattern_config()}) {
        calls = 0;
        EXPECT_THROW(parse_listing_page(listing_page_of(5), config,
                                        [&](const listing_item&) {
                                            ++calls;
                                            throw std::runtime_error("stop");
                                        }),
                     std::runtime_error);
        EXPECT_EQ(calls, 1);
    }
}

struct hostile_shape {
    const char* name;
    std::string (*build)(std::size_t);
};
const hostile_shape hostile_shapes[] = {
    {"unfinished item", unfinished_item_page},
    {"anchor flood", anchor_flood_page},
    {"items without link box", linkless_items_page},
};

TEST(ParseListingPage, HostilePagesEndQuicklyWithoutItems) {
    for (const hostile_shape& shape : hostile_shapes) {
        for (std::size_t bytes : {std::size_t{2} << 20, std::size_t{20} << 20}) {
            const std::string page = shape.build(bytes);
            std::vector<listing_item> items;
            EXPECT_NO_THROW(items = parse(page)) << shape.name;
            EXPECT_TRUE(items.empty()) << shape.name << " at " << bytes;
        }
    }
}

TEST(ParseListingPage, HostileStretchesBeforeItemsGiveTheEnginesItems) {
    // Where items exist the bounded parse gives exactly what the plain engine gives, even when a match
    // stretches over a hostile stretch.
    const std::string items_page = listing_page_of(3);
    const std::string section_end = default_parser_config().section_end;
    const std::string tail = items_page.substr(items_page.find("<div class=\"lby\">"));
    for (const hostile_shape& shape : hostile_shapes) {
        std::string page = shape.build(200 << 10);
        page = page.substr(0, page.rfind(section_end)) + tail;
        const std::vector<listing_item> expected = parse_with_plain_engine(page, default_parser_config());
        ASSERT_FALSE(expected.empty()) << shape.name;
        if (shape.build == unfinished_item_page) {
            EXPECT_EQ(expected.front().resource_id, "1");  // the first match stretched over it all
        }
        EXPECT_EQ(parse(page), expected) << shape.name;
        EXPECT_EQ(parse(page, grouped_pattern_config()), expected) << shape.name;
    }
}

TEST(ParseListingPage, OtherPatternShapesGoThroughTheEngine) {
    const std::string page = listing_page_of(20);
    EXPECT_EQ(parse(page, grouped_pattern_config()), parse(page));

    parser_config config = default_parser_config();
    config.item_pattern = "jc\\.php\\?pid=(\\d+)\" target";  // every anchor, cut by the same markers
    const std::vector<listing_item> items = parse(page, config);
    EXPECT_EQ(items.size(), 20u);
    EXPECT_EQ(items, parse_with_plain_engine(page, config));
}

TEST(ParseListingPage, PatternsThatDoNotCompileFindNothing) {
    parser_config config = default_parser_config();
    for (const char* pattern : {"(", "[a-", "a{2,1}", "*?", "(?<", "\\"}) {
        config.item_pattern = pattern;
        std::vector<listing_item> items;
        EXPECT_NO_THROW(items = parse(listing_page_of(3), config)) << pattern;
        EXPECT_TRUE(items.empty()) << pattern;
    }
}

TEST(ParseListingPage, BacktrackingPatternsEndWithinTheBudget) {
    const std::string page = unfinished_item_page(2 << 20);
    parser_config config = default_parser_config();
    for (const char* pattern : {"(?:.*?x){40}y", "(x+x+)+y", "(.*?\\r\\n)*<q>", "(?:a|.)*?(?:\\r\\n.*?){30}Q"}) {
        config.item_pattern = pattern;
        EXPECT_NO_THROW(parse(page, config)) << pattern;
    }
}

TEST(ParseListingPage, ItemsFoundBeforeTheBudgetRunsOutAreKept) {
    // The grouped pattern runs through the engine, which backtracks without end over the item blocks
    // that lack a link box; the three items before them still arrive.
    const std::string items_page = listing_page_of(3);
    const std::string section_end = default_parser_config().section_end;
    std::string hostile = linkless_items_page(2 << 20);
    hostile = hostile.substr(hostile.find("<div class=\"lby\">"));
    const std::string page = items_page.substr(0, items_page.rfind(section_end)) + hostile;
    std::vector<listing_item> items;
    EXPECT_NO_THROW(items = parse(page, grouped_pattern_config()));
    EXPECT_EQ(items, parse(listing_page_of(3)));
}

TEST(ParseListingPage, EmptyMatchesStepOnInsteadOfRepeating) {
    parser_config config = default_parser_config();
    config.section_start = "[";
    config.section_end = "]";
    for (const char* pattern : {"", ".*?", "x*"}) {  // literal shape, literal shape, engine
        config.item_pattern = pattern;
        const std::vector<listing_item> items = parse("[ab]", config);
        EXPECT_EQ(items.size(), 3u) << pattern;
        EXPECT_EQ(items, parse_with_plain_engine("[ab]", config)) << pattern;
    }
}

}  // namespace
}  // namespace quorvelv
