// parse_listing_page with the default configuration: on raw pages, on raw sections between the markers,
// and on pages of items in the site's layout whose fields the fuzzer picks (then the items must come back
// exactly as they were written).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "listing/parser.hpp"
#include "listing/text.hpp"
#include "tests/listing/listing_page_builder.hpp"
#include "fuzz/fuzz_check.hpp"

namespace {

using namespace quorvelv;

using quorvelv::fuzzing::check;

bool cut_from(const std::string& field, const std::string& page) {
    return field == failure_text || page.find(field) != std::string::npos;
}

std::vector<listing_item> parse(const std::string& page) {
    std::vector<listing_item> items;
    parse_listing_page(page, default_parser_config(), [&](const listing_item& item) { items.push_back(item); });
    return items;
}

void check_cuts(const std::string& page, const std::vector<listing_item>& items) {
    for (const listing_item& item : items) {
        check(cut_from(item.row.name, page) && cut_from(item.row.password, page) && cut_from(item.row.link, page) &&
                  cut_from(item.resource_id, page),
              "every field is the failure text or cut from the page");
        check(item.row.size.size() >= 2 && item.row.size.compare(item.row.size.size() - 2, 2, "MB") == 0 &&
                  cut_from(item.row.size.substr(0, item.row.size.size() - 2), page),
              "the size is a cut followed by MB");
    }
}

// A field text that cannot end or open a box: printable ASCII without <, > and ", and whole GBK characters.
std::string field(FuzzedDataProvider& in, bool digits_only) {
    std::string out;
    const std::string raw = in.ConsumeRandomLengthString(24);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const auto c = static_cast<unsigned char>(raw[i]);
        if (digits_only) {
            out += static_cast<char>('0' + c % 10);
        } else if (c >= 0x81 && c != 0xFF && i + 1 < raw.size()) {
            out += static_cast<char>(c);
            const int second = 0x40 + static_cast<unsigned char>(raw[++i]) % 0xBF;  // 0x40 to 0xFE
            out += static_cast<char>(second == 0x7F ? 0x80 : second);
        } else {
            const char printable = static_cast<char>(0x20 + c % 0x5F);
            out += (printable == '<' || printable == '>' || printable == '"') ? '_' : printable;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int mode = in.ConsumeIntegralInRange(0, 2);
    const parser_config config = default_parser_config();
    if (mode < 2) {
        std::string page = in.ConsumeRemainingBytesAsString();
        if (mode == 1) page = config.section_start + page + config.section_end;
        check_cuts(page, parse(page));
        return 0;
    }
    std::vector<fixtures::page_item> page_items(in.ConsumeIntegralInRange(0, 8));
    for (fixtures::page_item& item : page_items) {
        item.id = field(in, true);
        item.type = field(in, false);
        item.name = field(in, false);
        item.size = field(in, true);
        item.date = field(in, false);
        item.password = field(in, false);
        item.link = field(in, false);
    }
    const std::string page = fixtures::listing_page(page_items);
    const std::vector<listing_item> items = parse(page);
    check(items.size() == page_items.size(), "one item per block");
    for (std::size_t k = 0; k < items.size(); ++k) {
        const listing_item expected = fixtures::expected_item(page_items[k]);
        check(items[k].row.name == expected.row.name && items[k].row.size == expected.row.size &&
                  items[k].row.password == expected.row.password && items[k].row.link == expected.row.link &&
                  items[k].resource_id == expected.resource_id,
              "each item as it was written");
    }
    return 0;
}
