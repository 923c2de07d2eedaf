// parse_listing_page on pages of 20, 1,000 and 10,000 items and on the hostile shapes, beside the parse as
// it was first written (the plain engine, unbounded) and a plain memmem scan for the same item boundaries.
//
//   parse_bench [benchmark flags]
//   parse_bench --write-pages=DIR   writes the pages for bench/scraper.py and exits
#include <benchmark/benchmark.h>

#include <boost/regex.hpp>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <string_view>

#include "listing/parser.hpp"
#include "listing/text.hpp"
#include "tests/listing/listing_page_builder.hpp"

namespace {

using namespace quorvelv;
using namespace quorvelv::fixtures;

const std::string& items_page(std::size_t count) {
    static std::map<std::size_t, std::string> pages;
    auto [it, added] = pages.try_emplace(count);
    if (added) it->second = listing_page_of(count);
    return it->second;
}

using page_maker = std::string (*)(std::size_t);
const page_maker shapes[] = {unfinished_item_page, anchor_flood_page, linkless_items_page};
const char* const shape_names[] = {"unfinished_item", "anchor_flood", "linkless_items"};

const std::string& hostile_page(std::size_t shape, std::size_t bytes) {
    static std::map<std::pair<std::size_t, std::size_t>, std::string> pages;
    auto [it, added] = pages.try_emplace({shape, bytes});
    if (added) it->second = shapes[shape](bytes);
    return it->second;
}

parser_config grouped_config() {
    parser_config config = default_parser_config();
    config.item_pattern = "(?:" + config.item_pattern + ")";  // same matches, not of the literal shape
    return config;
}

void run_parse(benchmark::State& state, const std::string& page, const parser_config& config) {
    std::int64_t items = 0;
    for (auto _ : state) {
        std::int64_t n = 0;
        parse_listing_page(page, config, [&](const listing_item& item) {
            benchmark::DoNotOptimize(item.row.name.data());
            ++n;
        });
        items = n;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
    state.counters["items"] = static_cast<double>(items);
}

// The parse as first written: the engine over the rest of the section, nothing bounded.
void parse_with_plain_engine(std::string_view page, const parser_config& config,
                             const std::function<void(const listing_item&)>& on_item) {
    const std::string section = text_between(page, config.section_start, config.section_end, 0);
    boost::regex pattern;
    try {
        pattern.assign(config.item_pattern, boost::regex::perl);
    } catch (const std::exception&) {
        return;
    }
    const char* p = section.data();
    const char* const end = p + section.size();
    bool first = true;
    for (;;) {
        boost::cmatch m;
        try {
            if (!boost::regex_search(p, end, m, pattern, boost::match_default)) return;
        } catch (const std::exception&) {
            return;
        }
        const std::string_view match(m[0].first, static_cast<std::size_t>(m[0].second - m[0].first));
        listing_item item;
        item.row.name = text_between(match, "</span>", "</div>", 0);
        item.row.password = text_between(match, config.password_marker, "<", 0);
        item.row.link = text_between(match, config.link_marker, "<", 0);
        item.row.size = text_between(match, config.size_marker, "MB", 0) + "MB";
        item.resource_id = text_between(match, first ? std::string_view("jc.php?pid=") : config.id_marker, "\"", 0);
        on_item(item);
        first = false;
        p = m[0].second;
    }
}

void run_plain_engine(benchmark::State& state, const std::string& page) {
    const parser_config config = default_parser_config();
    std::int64_t items = 0;
    for (auto _ : state) {
        std::int64_t n = 0;
        parse_with_plain_engine(page, config, [&](const listing_item&) { ++n; });
        items = n;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
    state.counters["items"] = static_cast<double>(items);
}

const void* find(std::string_view text, std::size_t from, std::string_view what) {
    if (from >= text.size()) return nullptr;
    return memmem(text.data() + from, text.size() - from, what.data(), what.size());
}

// The practical limit: memmem for the section and, per item, for its anchor, its link box and the box's
// end, over the same bytes. No regex, no field cuts.
std::int64_t scan_items(std::string_view page, const parser_config& config) {
    const char* start = static_cast<const char*>(find(page, 0, config.section_start));
    if (!start) return 0;
    const std::size_t from = static_cast<std::size_t>(start - page.data()) + config.section_start.size();
    const char* end = static_cast<const char*>(find(page, from, config.section_end));
    if (!end) return 0;
    const std::string_view section(page.data() + from, static_cast<std::size_t>(end - page.data()) - from);
    std::int64_t items = 0;
    std::size_t at = 0;
    for (;;) {
        const char* anchor = static_cast<const char*>(find(section, at, "\" target=\"_blank\">"));
        if (!anchor) break;
        const char* link = static_cast<const char*>(find(section, static_cast<std::size_t>(anchor - section.data()),
                                                         config.link_marker));
        if (!link) break;
        const char* close =
            static_cast<const char*>(find(section, static_cast<std::size_t>(link - section.data()), "</div>"));
        if (!close) break;
        ++items;
        at = static_cast<std::size_t>(close - section.data()) + 6;
    }
    return items;
}

void BM_Parse(benchmark::State& state) {
    run_parse(state, items_page(static_cast<std::size_t>(state.range(0))), default_parser_config());
}
BENCHMARK(BM_Parse)->ArgName("items")->Arg(20)->Arg(1000)->Arg(10000);

void BM_ParseHostile(benchmark::State& state) {
    const auto shape = static_cast<std::size_t>(state.range(0));
    state.SetLabel(shape_names[shape]);
    run_parse(state, hostile_page(shape, static_cast<std::size_t>(state.range(1)) << 20), default_parser_config());
}
BENCHMARK(BM_ParseHostile)->ArgNames({"shape", "MB"})->ArgsProduct({{0, 1, 2}, {2, 20}})->Unit(benchmark::kMillisecond);

// The same pattern in a group: the engine runs it, within the parse's budget of reads.
void BM_ParseThroughEngine(benchmark::State& state) {
    run_parse(state, items_page(static_cast<std::size_t>(state.range(0))), grouped_config());
}
BENCHMARK(BM_ParseThroughEngine)->ArgName("items")->Arg(20)->Arg(1000)->Arg(10000);

// A pattern that backtracks without end, stopped by the budget.
void BM_ParseBacktrackingPattern(benchmark::State& state) {
    parser_config config = default_parser_config();
    config.item_pattern = "(?:a|.)*?(?:\\r\\n.*?){30}Q";
    run_parse(state, hostile_page(0, static_cast<std::size_t>(state.range(0)) << 20), config);
}
BENCHMARK(BM_ParseBacktrackingPattern)->ArgName("MB")->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PlainEngine(benchmark::State& state) {
    run_plain_engine(state, items_page(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_PlainEngine)->ArgName("items")->Arg(20)->Arg(1000)->Arg(10000);

// The plain engine on the hostile shapes grows with the square of the page: only small sizes here.
void BM_PlainEngineHostile(benchmark::State& state) {
    const auto shape = static_cast<std::size_t>(state.range(0));
    state.SetLabel(shape_names[shape]);
    run_plain_engine(state, hostile_page(shape, static_cast<std::size_t>(state.range(1)) << 10));
}
BENCHMARK(BM_PlainEngineHostile)
    ->ArgNames({"shape", "KB"})
    ->ArgsProduct({{0, 1, 2}, {32, 64, 128}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_Scan(benchmark::State& state) {
    const std::string& page = items_page(static_cast<std::size_t>(state.range(0)));
    const parser_config config = default_parser_config();
    std::int64_t items = 0;
    for (auto _ : state) benchmark::DoNotOptimize(items = scan_items(page, config));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
    state.counters["items"] = static_cast<double>(items);
}
BENCHMARK(BM_Scan)->ArgName("items")->Arg(20)->Arg(1000)->Arg(10000);

bool write_pages(const std::string& dir) {
    auto write = [&](const std::string& name, const std::string& page) {
        std::ofstream out(dir + "/" + name, std::ios::binary);
        out << page;
        return static_cast<bool>(out);
    };
    for (std::size_t count : {20, 1000, 10000}) {
        if (!write("items_" + std::to_string(count) + ".html", items_page(count))) return false;
    }
    for (std::size_t shape = 0; shape < std::size(shapes); ++shape) {
        if (!write(std::string(shape_names[shape]) + "_16KB.html", hostile_page(shape, 16 << 10))) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    constexpr std::string_view flag = "--write-pages=";
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.substr(0, flag.size()) == flag) {
            if (write_pages(std::string(arg.substr(flag.size())))) return 0;
            std::fprintf(stderr, "cannot write the pages\n");
            return 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
