#include "listing/text.hpp"

#include <charconv>
#include <cstring>
#include <limits>

namespace quorvelv {
namespace {

constexpr std::size_t max_position = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

constexpr bool is_upper(unsigned char c) { return c >= 0x41 && c <= 0x5A; }
constexpr bool is_lower(unsigned char c) { return c >= 0x61 && c <= 0x7A; }
constexpr bool is_letter(unsigned char c) { return is_upper(c) || is_lower(c); }
// Only "A" to "Z" fold; everything else, second bytes of double-byte characters included, is compared as is.
constexpr unsigned char fold(unsigned char c) { return is_upper(c) ? static_cast<unsigned char>(c + 32) : c; }

bool equal_folded(const unsigned char* a, const unsigned char* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// How often a byte turns up in HTML, roughly: the anchor of a case-blind search is the needle's
// rarest non-letter byte, so memchr stops as seldom as possible.
int commonness(unsigned char c) {
    switch (c) {
        case ' ': case '<': case '>': case '"': case '=': case '/': case '\r': case '\n': return 3;
        case ':': case ';': case '.': case '-': case '\t': case '\'': return 2;
        default: return (c >= '0' && c <= '9') ? 2 : 1;
    }
}

// First byte offset >= from where the needle could begin, ignoring character boundaries.
std::size_t next_candidate(const unsigned char* hay, std::size_t size, std::size_t from, std::string_view needle,
                           bool ignore_case) {
    const std::size_t n = needle.size();
    if (from + n > size) return std::string_view::npos;
    const auto* nd = reinterpret_cast<const unsigned char*>(needle.data());
    if (!ignore_case) {
        const void* hit = memmem(hay + from, size - from, nd, n);
        return hit ? static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - hay) : std::string_view::npos;
    }
    std::size_t anchor = n;
    for (std::size_t i = 0; i < n; ++i) {
        if (!is_letter(nd[i]) && (anchor == n || commonness(nd[i]) < commonness(nd[anchor]))) anchor = i;
    }
    if (anchor == n) {  // all letters: compare the folded first byte at every offset
        const unsigned char first = fold(nd[0]);
        for (std::size_t p = from; p + n <= size; ++p) {
            if (fold(hay[p]) == first && equal_folded(hay + p, nd, n)) return p;
        }
        return std::string_view::npos;
    }
    const unsigned char a = nd[anchor];
    std::size_t p = from;
    while (p + n <= size) {
        const void* hit = std::memchr(hay + p + anchor, a, size - n - p + 1);
        if (!hit) return std::string_view::npos;
        p = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - hay) - anchor;
        if (equal_folded(hay + p, nd, n)) return p;
        ++p;
    }
    return std::string_view::npos;
}

// Moves the scan from the character start p to the first character start at or after target. A byte of
// 0x80 or more takes the byte after it with it.
std::size_t step_to(const unsigned char* hay, std::size_t p, std::size_t target) {
    while (p < target) {
        // Runs of single-byte characters go eight at a time.
        while (p + 8 <= target) {
            std::uint64_t word;
            std::memcpy(&word, hay + p, sizeof word);
            if (word & 0x8080808080808080ULL) break;
            p += 8;
        }
        if (p >= target) break;
        p += hay[p] >= 0x80 ? 2 : 1;
    }
    return p;
}

}  // namespace

std::int32_t find_text(std::string_view haystack, std::string_view needle, std::int32_t start, bool ignore_case) {
    const std::size_t size = haystack.size() < max_position ? haystack.size() : max_position;
    const std::size_t from = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (from >= size) return -1;
    if (needle.empty()) return 1;
    const auto* hay = reinterpret_cast<const unsigned char*>(haystack.data());
    std::size_t p = from;  // always the start of a character, counted from the scan's first byte
    std::size_t search = from;
    for (;;) {
        const std::size_t candidate = next_candidate(hay, size, search, needle, ignore_case);
        if (candidate == std::string_view::npos) return -1;
        p = step_to(hay, p, candidate);
        if (p == candidate) return static_cast<std::int32_t>(candidate + 1);
        search = p;  // the candidate was the second byte of a double-byte character
    }
}

std::int32_t text_length(std::string_view text) {
    return static_cast<std::int32_t>(text.size() < max_position ? text.size() : max_position);
}

std::string text_mid(std::string_view text, std::int32_t start, std::int32_t count) {
    const std::int64_t length = text_length(text);
    if (start < 1 || start > length || count <= 0) return {};
    const std::int64_t available = length - start + 1;
    const std::int64_t take = count < available ? count : available;
    return std::string(text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(take)));
}

std::string text_between(std::string_view source, std::string_view left, std::string_view right, std::int32_t start) {
    const std::int32_t b = find_text(source, left, start, true);
    if (b == -1) return std::string(failure_text);
    const std::int64_t s = static_cast<std::int64_t>(b) + text_length(left);
    if (s > std::numeric_limits<std::int32_t>::max()) return std::string(failure_text);
    const std::int32_t e = find_text(source, right, static_cast<std::int32_t>(s), true);
    if (e == -1) return std::string(failure_text);
    return text_mid(source, static_cast<std::int32_t>(s), static_cast<std::int32_t>(e - s));
}

std::int32_t text_to_int(std::string_view text) {
    // Full-width forms and a few other double-byte characters count as their ASCII counterparts.
    std::string narrow;
    narrow.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            narrow.push_back(static_cast<char>(c));
            continue;
        }
        if (i + 1 == text.size()) break;  // a lone first byte at the very end
        const auto second = static_cast<unsigned char>(text[++i]);
        if (c == 0xA3 && second >= 0xA1 && second <= 0xFE) {
            narrow.push_back(static_cast<char>(second - 0x80));
        } else if (c == 0xA1 && second == 0xA1) {
            narrow.push_back(' ');
        } else if (c == 0xA1 && second == 0xAB) {
            narrow.push_back('~');
        } else if (c == 0xA1 && (second == 0xEE || second == 0xEF)) {
            narrow.push_back('*');
        } else {
            narrow.push_back(static_cast<char>(c));
            narrow.push_back(static_cast<char>(second));
        }
    }
    std::size_t i = 0;
    while (i < narrow.size() && (narrow[i] == ' ' || (narrow[i] >= '\t' && narrow[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < narrow.size() && (narrow[i] == '+' || narrow[i] == '-')) negative = narrow[i++] == '-';
    std::uint32_t value = 0;  // wraps modulo 2^32, as the page box's arithmetic always has
    for (; i < narrow.size() && narrow[i] >= '0' && narrow[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(narrow[i] - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

std::string real_to_text(double x) {
    // "%.13g" in the C locale whatever the process locale is (to_chars never reads it).
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general, 13);
    return std::string(buffer, result.ptr);
}

}  // namespace quorvelv
