#include "listing/text.hpp"

#include <charconv>
#include <cstring>
#include <limits>

#include "listing/byte_search.hpp"

namespace quorvelv {
namespace {

constexpr std::size_t max_position = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

}  // namespace

std::int32_t find_text(std::string_view haystack, std::string_view needle, std::int32_t start, bool ignore_case) {
    return listing_detail::find_character(haystack, listing_detail::byte_search(needle, ignore_case), start);
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
