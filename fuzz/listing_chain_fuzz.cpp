// The parser's scan for patterns of literals joined by lazy wildcards against the engine itself: for such
// a pattern and any section, the items must be exactly those of the engine's own searches.
#include <fuzzer/FuzzedDataProvider.h>

#include <boost/regex.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "listing/parser.hpp"
#include "listing/text.hpp"
#include "fuzz/fuzz_check.hpp"

namespace {

using namespace quorvelv;

using quorvelv::fuzzing::check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // Literals over a small alphabet, so that they turn up in the section often, joined by ".*?".
    std::string pattern;
    const int literals = in.ConsumeIntegralInRange(1, 4);
    for (int k = 0; k < literals; ++k) {
        if (k > 0) pattern += ".*?";
        const int length = in.ConsumeIntegralInRange(0, 3);
        for (int i = 0; i < length; ++i) pattern += static_cast<char>("ab\r\n<\xB0"[in.ConsumeIntegralInRange(0, 5)]);
    }
    std::string section;
    for (const char c : in.ConsumeRemainingBytesAsString()) section += "ab\r\n<\xB0"[static_cast<unsigned char>(c) % 6];
    if (section.size() > 512) section.resize(512);

    // An empty password marker makes the password field the match's text up to its first "<": what the
    // items show of where each match lies.
    parser_config config = default_parser_config();
    config.section_start = "[";
    config.section_end = "]";
    config.password_marker = "";
    config.item_pattern = pattern;
    const std::string page = "[" + section + "]";

    // The engine over the rest of the section after every match, as the client has always searched. When
    // it gives up (its complexity limit), there is nothing to compare with.
    const std::string cut = text_between(page, "[", "]", 0);  // a "]" may be a second byte and not count
    std::vector<std::string> plain_items;
    try {
        const boost::regex plain(pattern, boost::regex::perl);
        for (const char *p = cut.data(), *end = p + cut.size(); cut != failure_text;) {
            boost::cmatch m;
            if (!boost::regex_search(p, end, m, plain, boost::match_default)) break;
            plain_items.push_back(text_between(std::string(m[0].first, m[0].second), "", "<", 0));
            p = m[0].second;
            if (m[0].first == m[0].second) {
                if (p == end) break;
                ++p;
            }
        }
    } catch (const std::exception&) {
        return 0;
    }

    std::vector<std::string> found;
    parse_listing_page(page, config, [&](const listing_item& item) { found.push_back(item.row.password); });
    check(found == plain_items, "the scan gives the engine's matches");

    // The same pattern in a group goes through the bounded engine instead of the scan.
    config.item_pattern = "(?:" + pattern + ")";
    std::vector<std::string> grouped;
    parse_listing_page(page, config, [&](const listing_item& item) { grouped.push_back(item.row.password); });
    check(grouped == plain_items, "the bounded engine gives the engine's matches");
    return 0;
}
