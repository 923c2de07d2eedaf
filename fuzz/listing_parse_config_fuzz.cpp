// parse_listing_page with configurations the user might type into the boxes: markers of any bytes, item
// patterns that do not compile or that backtrack without end. Every call must end quickly (the run's
// -timeout catches one that does not) and cut its fields from the page.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "listing/parser.hpp"
#include "listing/text.hpp"
#include "fuzz/fuzz_check.hpp"

namespace {

using namespace quorvelv;

using quorvelv::fuzzing::check;

// Pieces the fuzzer can build patterns from, beside its own bytes.
const char* const pattern_pieces[] = {".*?", ".*", "(", ")", "|", "+", "*", "?", "{2,}", "[^<]", "\\r\\n",
                                      "(?:", "\\1", "(a|aa)", "x", "<a href=\"", "</div>", "$", "^", "\\b"};

std::string pattern_from(FuzzedDataProvider& in) {
    std::string pattern;
    const int pieces = in.ConsumeIntegralInRange(0, 24);
    for (int i = 0; i < pieces; ++i) {
        if (in.ConsumeBool()) {
            pattern += pattern_pieces[in.ConsumeIntegralInRange<std::size_t>(0, std::size(pattern_pieces) - 1)];
        } else {
            pattern += in.ConsumeRandomLengthString(8);
        }
    }
    return pattern;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    parser_config config = default_parser_config();
    if (in.ConsumeBool()) config.section_start = in.ConsumeRandomLengthString(16);
    if (in.ConsumeBool()) config.section_end = in.ConsumeRandomLengthString(16);
    if (in.ConsumeBool()) config.size_marker = in.ConsumeRandomLengthString(16);
    if (in.ConsumeBool()) config.password_marker = in.ConsumeRandomLengthString(16);
    if (in.ConsumeBool()) config.link_marker = in.ConsumeRandomLengthString(16);
    if (in.ConsumeBool()) config.id_marker = in.ConsumeRandomLengthString(16);
    if (in.ConsumeBool()) config.item_pattern = pattern_from(in);
    const std::string page = in.ConsumeRemainingBytesAsString();

    std::size_t items = 0;
    parse_listing_page(page, config, [&](const listing_item& item) {
        ++items;
        for (const std::string* f : {&item.row.name, &item.row.password, &item.row.link, &item.resource_id}) {
            check(*f == failure_text || page.find(*f) != std::string::npos, "a field is cut from the page");
        }
    });
    check(items <= page.size() + 1, "no more items than places in the page");
    return 0;
}
