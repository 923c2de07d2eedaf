#include "listing/text.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace quorvelv {
namespace {

const std::string failure(failure_text);

struct find_case {
    std::string haystack, needle;
    std::int32_t start;
    bool ignore_case;
    std::int32_t expected;
};

TEST(FindText, FollowsTheContract) {
    const std::string ascii_run = std::string(20, 'a') + "\xB0" "Axx";
    const std::vector<find_case> cases = {
        {"abcabc", "b", 1, false, 2},
        {"abcabc", "a", 0, false, 1},
        {"abcabc", "a", -5, false, 1},
        {"abcabc", "a", 2, false, 4},
        {"abc", "c", 3, false, 3},
        {"abc", "a", 4, false, -1},                  // start beyond the haystack
        {"abc", "bcd", 1, false, -1},                // needle runs past the end
        {"aab", "ab", 1, false, 2},
        {"abc", "", 3, false, 1},                    // empty needle: 1 whatever the start
        {"abc", "", 4, false, -1},                   // ... unless nothing is left to scan
        {"", "", 0, false, -1},
        {"", "a", 0, true, -1},
        {"\xB0\x41" "A", "A", 1, false, 3},          // the second byte of a character never starts a match
        {"\xB0\x41" "a", "a", 1, true, 3},
        {"\xB0\x41" "A", "A", 2, false, 2},          // the scan steps from where it begins
        {"\xB0\xB0\x41", "\xB0\x41", 1, false, -1},  // a match straddling characters is skipped
        {"ab\xB0", "\xB0", 1, false, 3},             // a lone first byte at the end can still match
        {ascii_run, "Ax", 1, false, -1},             // after a run of single bytes, still in step
        {ascii_run, "x", 1, false, 23},
        {"\xB0\x41", "\xB0\x61", 1, true, 1},        // a second byte in A..Z folds too
        {"\xB0\x41", "\xB0\x61", 1, false, -1},
        {"\xC1", "\xE1", 1, true, -1},               // bytes of 0x80 or more never fold
        {"[@", "{`", 1, true, -1},                   // nor do the neighbours of the letters
        {"xxMbxx", "mB", 1, true, 3},
        {"<DIV>x</div>", "</DIV>", 1, true, 7},
        {"<DIV>x</div>", "</DIV>", 1, false, -1},
    };
    for (const find_case& c : cases) {
        EXPECT_EQ(find_text(c.haystack, c.needle, c.start, c.ignore_case), c.expected)
            << "needle '" << c.needle << "' in '" << c.haystack << "' from " << c.start;
    }
}

TEST(FindText, AgreesWithAPlainScanOnMixedText) {
    // A byte-by-byte reading of the contract, over every start and every needle of up to 12 bytes taken
    // from a mixed text (also with the case of its letters swapped), long enough for the wide paths.
    const std::string part = "ab\xB0\x41" "AB<Div>\xC4\xE3\xBA\xC3" "aA</dIV>\xB0\x5A" "zZ\xFF";
    const std::string hay = part + "\xB0" + part + "x@`[{" + part;
    auto plain = [&](const std::string& needle, std::int32_t start, bool ignore_case) -> std::int32_t {
        const std::size_t size = hay.size();
        std::size_t p = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
        if (p >= size) return -1;
        if (needle.empty()) return 1;
        auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        while (p < size) {
            if (size - p >= needle.size()) {
                bool same = true;
                for (std::size_t i = 0; i < needle.size() && same; ++i) {
                    const auto a = static_cast<unsigned char>(hay[p + i]);
                    const auto b = static_cast<unsigned char>(needle[i]);
                    same = ignore_case ? fold(a) == fold(b) : a == b;
                }
                if (same) return static_cast<std::int32_t>(p + 1);
            }
            if (static_cast<unsigned char>(hay[p]) >= 0x80) {
                if (p + 1 == size) return -1;
                p += 2;
            } else {
                ++p;
            }
        }
        return -1;
    };
    auto swap_case = [](std::string text) {
        for (char& c : text) {
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) c = static_cast<char>(c ^ 0x20);
        }
        return text;
    };
    for (std::size_t from = 0; from < hay.size(); ++from) {
        for (std::size_t length = 1; length <= 12 && from + length <= hay.size(); ++length) {
            for (const std::string& needle : {hay.substr(from, length), swap_case(hay.substr(from, length))}) {
                for (std::int32_t start = -1; start <= static_cast<std::int32_t>(hay.size()) + 1; start += 3) {
                    for (bool ignore_case : {false, true}) {
                        ASSERT_EQ(find_text(hay, needle, start, ignore_case), plain(needle, start, ignore_case))
                            << "needle at " << from << " length " << length << " start " << start;
                    }
                }
            }
        }
    }
}

struct between_case {
    std::string source, left, right;
    std::int32_t start;
    std::string expected;
};

TEST(TextBetween, FollowsTheContract) {
    const std::vector<between_case> cases = {
        {"a<b>text</b>z", "<b>", "</b>", 0, "text"},
        {"<DIV>x</div>", "<div>", "</DIV>", 0, "x"},     // both markers ignore case
        {"[]", "[", "]", 0, ""},                         // adjacent markers: empty, not the failure text
        {"abc", "[", "]", 0, failure},
        {"]a[b", "[", "]", 0, failure},                  // the right marker only counts after the left
        {"L1R2L3R", "L", "R", 0, "1"},                   // only the first left marker counts
        {"abc]", "", "]", 0, "abc"},                     // an empty left marker starts at the first byte
        {"[a", "[", "", 0, ""},                          // an empty right marker: empty when a byte follows
        {"a[", "[", "", 0, failure},                     // ... the failure text when none does
        {"", "", "", 0, failure},
        {"[1][2]", "[", "]", 3, "2"},
        {"[1][2]", "[", "]", -7, "1"},
        {"<p>\r\n x \r\n</p>", "<p>", "</p>", 0, "\r\n x \r\n"},  // nothing trimmed
        {"\xB0" "AAxB", "A", "B", 0, "x"},              // the left marker is not found inside a character
        {"<i>\xC4\xE3\xBA\xC3</I>", "<I>", "</i>", 0, "\xC4\xE3\xBA\xC3"},
    };
    for (const between_case& c : cases) {
        EXPECT_EQ(text_between(c.source, c.left, c.right, c.start), c.expected)
            << "'" << c.left << "'..'" << c.right << "' in '" << c.source << "'";
    }
}

TEST(TextMid, CountsBytes) {
    struct mid_case {
        std::string text;
        std::int32_t start, count;
        std::string expected;
    };
    constexpr std::int32_t max = std::numeric_limits<std::int32_t>::max();
    const std::vector<mid_case> cases = {
        {"abcdef", 5, 10, "ef"}, {"abc", 4, 1, ""},   {"abc", 1, 0, ""},  {"abc", 0, 2, ""},
        {"abc", -1, 5, ""},      {"abc", 2, 1, "b"},  {"abc", 1, -3, ""}, {"abc", 1, max, "abc"},
        {"abc", 3, max, "c"},    {"\xB0\x41", 2, 1, "\x41"},  // halves of a character are bytes like others
    };
    for (const mid_case& c : cases) {
        EXPECT_EQ(text_mid(c.text, c.start, c.count), c.expected) << c.text << " " << c.start << " " << c.count;
    }
    EXPECT_EQ(text_length(failure_text), 8);
    EXPECT_EQ(text_length(""), 0);
}

TEST(TextToInt, ReadsThePageBox) {
    struct int_case {
        std::string text;
        std::int32_t expected;
    };
    const std::vector<int_case> cases = {
        {"0", 0},
        {"abc", 0},
        {"", 0},
        {"3.7", 3},
        {" 3", 3},
        {"\t\n\v\f\r 42", 42},
        {"12abc", 12},
        {"-5", -5},
        {"+7", 7},
        {"- 5", 0},
        {"--5", 0},
        {"2147483647", 2147483647},
        {"2147483648", std::numeric_limits<std::int32_t>::min()},  // 32-bit wrap-around
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"-2147483649", 2147483647},
        {"4294967296", 0},
        {"4294967297", 1},
        {"-4294967295", 1},
        {"99999999999", 1215752191},
        {"\xA3\xB1\xA3\xB2", 12},                     // full-width digits
        {"\xA3\xAD\xA3\xB5", -5},                     // full-width minus
        {"\xA3\xAB" "8", 8},                          // full-width plus
        {"\xA1\xA1" "3", 3},                          // ideographic space
        {"\xA1\xA1\xA3\xB9\xA3\xB9", 99},
        {"\xA1\xAB" "5", 0},                          // becomes "~"
        {"\xB0" "5", 0},                              // a digit as a second byte is no digit
        {"12\xB0\xA1" "3", 12},
        {"\xA3\xB1\xA3", 1},                          // a lone first byte at the end is dropped
        {"\xA3", 0},
    };
    for (const int_case& c : cases) EXPECT_EQ(text_to_int(c.text), c.expected) << "'" << c.text << "'";
}

TEST(RealToText, WritesAsPercentPoint13g) {
    struct real_case {
        double x;
        std::string expected;
    };
    const std::vector<real_case> cases = {
        {0.0, "0"},
        {-1.0, "-1"},
        {13.0, "13"},
        {2147483648.0, "2147483648"},
        {-2147483649.0, "-2147483649"},
        {0.5, "0.5"},
        {0.1 + 0.2, "0.3"},
        {1234567890123.0, "1234567890123"},
        {12345678901234.0, "1.234567890123e+13"},
        {1e15, "1e+15"},
        {1e-5, "1e-05"},
    };
    for (const real_case& c : cases) EXPECT_EQ(real_to_text(c.x), c.expected) << c.x;
    // Every whole number the page box can take, at both ends of the 32-bit range and around zero.
    for (double x : {-2147483649.0, -2147483648.0, -1.0, 0.0, 1.0, 2147483647.0, 2147483648.0, 123456.0}) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.13g", x);
        EXPECT_EQ(real_to_text(x), expected);
    }
}

}  // namespace
}  // namespace quorvelv
