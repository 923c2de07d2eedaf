#pragma once
// Byte searches of the listing module, and the character-aligned search of find_text built on them. A byte
// search filters on two bytes of the needle at sixteen offsets at a time and compares the whole needle only
// where both agree; it costs next to nothing to set up, unlike memmem, which matters for the many short
// searches of a parse. With ignore_case only "A" to "Z" fold, byte by byte, whatever their place.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorvelv::listing_detail {

constexpr bool is_upper(unsigned char c) { return c >= 0x41 && c <= 0x5A; }
constexpr bool is_lower(unsigned char c) { return c >= 0x61 && c <= 0x7A; }
constexpr bool is_letter(unsigned char c) { return is_upper(c) || is_lower(c); }
// Every other byte, a second byte of a double-byte character included, is compared as it is.
constexpr unsigned char fold(unsigned char c) { return is_upper(c) ? static_cast<unsigned char>(c + 32) : c; }

// Eight bytes with "A" to "Z" turned into "a" to "z": a byte gets 0x20 added when it is below 0x80, at least
// 0x41 and below 0x5B.
inline std::uint64_t fold8(std::uint64_t x) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t high = 0x8080808080808080ULL;
    const std::uint64_t low7 = x & ~high;
    const std::uint64_t at_least_a = low7 + (0x80 - 0x41) * ones;  // high bit set where low7 >= 0x41
    const std::uint64_t beyond_z = low7 + (0x80 - 0x5B) * ones;    // high bit set where low7 >= 0x5B
    const std::uint64_t upper = at_least_a & ~beyond_z & ~x & high;
    return x | (upper >> 2);
}

inline bool equal_folded(const unsigned char* a, const unsigned char* b, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y && fold8(x) != fold8(y)) return false;
    }
    for (; i < n; ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// How common a byte is in the site's HTML, roughly; the search filters on the needle's two rarest bytes.
constexpr int commonness_of(unsigned char c) {
    switch (c) {
        case ' ': case '<': case '>': case '"': case '=': case '/': case '\r': case '\n':
        case 'e': case 'a': case 't': case 'i': case 'n': case 'o': case 's': case 'r': case 'l': case 'd':
        case 'c': case 'v': case 'h': case 'p': case 'x': case 'f':
            return 4;
        case ':': case ';': case '.': case '-': case '\t': case '\'':
            return 3;
        default:
            if ((c >= '0' && c <= '9') || is_lower(c) || c >= 0x80) return 3;
            return is_upper(c) ? 2 : 1;
    }
}

struct commonness_table {
    unsigned char rank[256];
    constexpr commonness_table() : rank() {
        for (int c = 0; c < 256; ++c) {
            rank[c] = static_cast<unsigned char>(commonness_of(static_cast<unsigned char>(c)));
        }
    }
};
inline constexpr commonness_table commonness{};

// Finds a needle at any byte offset; callers add what character boundaries mean to them.
class byte_search {
public:
    byte_search(std::string_view needle, bool ignore_case)
        : needle_(reinterpret_cast<const unsigned char*>(needle.data())), n_(needle.size()), ignore_case_(ignore_case) {
        int best = 99, second = 99;
        for (std::size_t k = 0; k < n_; ++k) {
            const int rank = commonness.rank[ignore_case_ ? fold(needle_[k]) : needle_[k]];
            if (rank < best) {
                second = best;
                j_ = i_;
                best = rank;
                i_ = k;
            } else if (rank <= second) {  // the later of equals, to keep the two bytes apart
                second = rank;
                j_ = k;
            }
        }
    }

    std::size_t size() const { return n_; }

    // The first offset >= from where the needle begins, or npos.
    std::size_t find(const unsigned char* hay, std::size_t size, std::size_t from) const {
        if (from > size || size - from < n_) return std::string_view::npos;
        if (n_ == 0) return from;
        const std::size_t last = size - n_;  // the last offset where the needle fits
        std::size_t p = from;
#if defined(__SSE2__)
        // Sixteen candidates p..p+15 at once; all of them fit, so both loads stay inside the text.
        const __m128i want_i = _mm_set1_epi8(static_cast<char>(folded(needle_[i_])));
        const __m128i want_j = _mm_set1_epi8(static_cast<char>(folded(needle_[j_])));
        const __m128i bit_i = _mm_set1_epi8(static_cast<char>(case_bit(needle_[i_])));
        const __m128i bit_j = _mm_set1_epi8(static_cast<char>(case_bit(needle_[j_])));
        for (; p + 15 <= last; p += 16) {
            const __m128i at_i = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + p + i_)), bit_i);
            const __m128i at_j = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + p + j_)), bit_j);
            auto mask = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(at_i, want_i), _mm_cmpeq_epi8(at_j, want_j))));
            for (; mask != 0; mask &= mask - 1) {
                const std::size_t candidate = p + static_cast<std::size_t>(__builtin_ctz(mask));
                if (matches(hay + candidate)) return candidate;
            }
        }
#endif
        const unsigned char byte_i = folded(needle_[i_]), byte_j = folded(needle_[j_]);
        const unsigned char case_i = case_bit(needle_[i_]), case_j = case_bit(needle_[j_]);
        for (; p <= last; ++p) {
            if ((hay[p + i_] | case_i) == byte_i && (hay[p + j_] | case_j) == byte_j && matches(hay + p)) return p;
        }
        return std::string_view::npos;
    }

private:
    // A folded letter is compared with the 0x20 bit set on both sides; the filter then lets through a few
    // bytes that are no letters ("@" for "`"), which the full comparison turns away.
    unsigned char case_bit(unsigned char c) const { return ignore_case_ && is_letter(c) ? 0x20 : 0; }
    unsigned char folded(unsigned char c) const { return static_cast<unsigned char>(c | case_bit(c)); }
    bool matches(const unsigned char* at) const {
        return ignore_case_ ? equal_folded(at, needle_, n_) : std::memcmp(at, needle_, n_) == 0;
    }

    const unsigned char* needle_;
    std::size_t n_;
    bool ignore_case_;
    std::size_t i_ = 0, j_ = 0;  // the two filter bytes; the same one for a needle of one byte
};

// The offset of the first byte in [p, end) whose high bit is set (high) or clear (!high), or end.
inline std::size_t next_with_high_bit(const unsigned char* hay, std::size_t p, std::size_t end, bool high) {
    constexpr std::uint64_t high_bits = 0x8080808080808080ULL;
#if defined(__SSE2__)
    for (; p + 16 <= end; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + p));
        auto bits = static_cast<unsigned>(_mm_movemask_epi8(bytes));
        if (!high) bits = ~bits & 0xFFFFu;
        if (bits != 0) return p + static_cast<std::size_t>(std::countr_zero(bits));
    }
#endif
    for (; p + 8 <= end; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, hay + p, sizeof word);
        const std::uint64_t bits = (high ? word : ~word) & high_bits;
        if (bits != 0) {
            const int bit =
                std::endian::native == std::endian::little ? std::countr_zero(bits) : std::countl_zero(bits);
            return p + static_cast<std::size_t>(bit / 8);
        }
    }
    while (p < end && (hay[p] >= 0x80) != high) ++p;
    return p;
}

// Moves the scan from the character start p to the first character start at or after target. A byte of
// 0x80 or more takes the byte after it with it, so in a run of such bytes every second one starts a
// character, and the byte after the run is a second byte exactly when the run's length is odd.
inline std::size_t step_to(const unsigned char* hay, std::size_t p, std::size_t target) {
    while (p < target) {
        p = next_with_high_bit(hay, p, target, true);  // the bytes before it are characters by themselves
        if (p >= target) break;
        const std::size_t q = next_with_high_bit(hay, p, target + 1, false);
        if (q > target) return p + (target - p + 1) / 2 * 2;  // target lies inside the run
        p = (q - p) % 2 == 0 ? q : q + 1;
    }
    return p;
}

// find_text with its search set up: the 1-based position of the first occurrence that begins a character
// of the scan, which begins at byte start (1 or less: the first byte), or -1. Positions beyond the 32-bit
// range are not searched.
inline std::int32_t find_character(std::string_view haystack, const byte_search& search, std::int32_t start) {
    constexpr std::size_t max_position = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    const std::size_t size = haystack.size() < max_position ? haystack.size() : max_position;
    const std::size_t from = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (from >= size) return -1;
    if (search.size() == 0) return 1;
    const auto* hay = reinterpret_cast<const unsigned char*>(haystack.data());
    std::size_t p = from;  // always the start of a character, counted from the scan's first byte
    std::size_t next = from;
    for (;;) {
        const std::size_t candidate = search.find(hay, size, next);
        if (candidate == std::string_view::npos) return -1;
        p = step_to(hay, p, candidate);
        if (p == candidate) return static_cast<std::int32_t>(candidate + 1);
        next = p;  // the candidate was the second byte of a double-byte character
    }
}

}  // namespace quorvelv::listing_detail
