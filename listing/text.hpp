#pragma once
// Text operations on GBK byte strings. Positions are 1-based byte positions; -1 means not found.

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvelv {

// GBK bytes of "获取失败": what a cut gives when one of its markers is missing.
inline constexpr std::string_view failure_text = "\xBB\xF1\xC8\xA1\xCA\xA7\xB0\xDC";

std::int32_t find_text(std::string_view haystack, std::string_view needle, std::int32_t start, bool ignore_case);
std::int32_t text_length(std::string_view text);
std::string text_mid(std::string_view text, std::int32_t start, std::int32_t count);
std::string text_between(std::string_view source, std::string_view left, std::string_view right, std::int32_t start);
std::int32_t text_to_int(std::string_view text);
std::string real_to_text(double x);

}  // namespace quorvelv
