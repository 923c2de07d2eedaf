// find_text, text_between and text_mid against a plain reading of their contracts, byte by byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "listing/text.hpp"
#include "fuzz/fuzz_check.hpp"

namespace {

using namespace quorvelv;

using quorvelv::fuzzing::check;

unsigned char fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

// The scan as the contract spells it: position by position from the start, two bytes for a byte of 0x80
// or more, compare where the needle fits.
std::int32_t plain_find(const std::string& hay, const std::string& needle, std::int32_t start, bool ignore_case) {
    std::size_t p = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (p >= hay.size()) return -1;
    if (needle.empty()) return 1;
    while (p < hay.size()) {
        if (hay.size() - p >= needle.size()) {
            bool same = true;
            for (std::size_t i = 0; i < needle.size() && same; ++i) {
                const auto a = static_cast<unsigned char>(hay[p + i]), b = static_cast<unsigned char>(needle[i]);
                same = ignore_case ? fold(a) == fold(b) : a == b;
            }
            if (same) return static_cast<std::int32_t>(p + 1);
        }
        if (static_cast<unsigned char>(hay[p]) >= 0x80) {
            if (p + 1 == hay.size()) return -1;
            p += 2;
        } else {
            ++p;
        }
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const bool ignore_case = in.ConsumeBool();
    const auto start = in.ConsumeIntegralInRange<std::int32_t>(-3, 300);
    const std::string left = in.ConsumeRandomLengthString(64);
    const std::string right = in.ConsumeRandomLengthString(64);
    const std::string source = in.ConsumeRemainingBytesAsString();

    const std::int32_t found = find_text(source, left, start, ignore_case);
    check(found == -1 || (found >= 1 && found <= static_cast<std::int32_t>(source.size())), "find_text in range");
    check(found == plain_find(source, left, start, ignore_case), "find_text as the contract scans");

    const std::string cut = text_between(source, left, right, start);
    check(cut == failure_text || source.find(cut) != std::string::npos, "a cut is the failure text or from the source");
    std::string expected(failure_text);
    const std::int32_t b = plain_find(source, left, start, true);
    if (b != -1) {
        const std::int64_t s = std::int64_t{b} + static_cast<std::int64_t>(left.size());
        const std::int32_t e = plain_find(source, right, static_cast<std::int32_t>(s), true);
        // An empty right marker is "found" at position 1, before s: text_mid then gives the empty text.
        if (e != -1 && e > s) {
            expected = source.substr(static_cast<std::size_t>(s - 1), static_cast<std::size_t>(e - s));
        } else if (e != -1) {
            expected.clear();
        }
    }
    check(cut == expected, "text_between as the contract cuts");

    const auto count = static_cast<std::int32_t>(right.size()) - 3;
    const std::string mid = text_mid(source, start, count);
    if (start < 1 || start > static_cast<std::int32_t>(source.size()) || count <= 0) {
        check(mid.empty(), "text_mid outside gives nothing");
    } else {
        check(mid == source.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count)), "text_mid");
    }
    return 0;
}
