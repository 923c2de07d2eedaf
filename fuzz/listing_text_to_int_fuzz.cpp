// text_to_int against a plain reading of its contract, and real_to_text of every 32-bit value read back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "listing/text.hpp"
#include "fuzz/fuzz_check.hpp"

namespace {

using quorvelv::fuzzing::check;

std::int32_t plain_text_to_int(const std::string& text) {
    std::string narrow;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            narrow += static_cast<char>(c);
        } else if (i + 1 < text.size()) {
            const auto d = static_cast<unsigned char>(text[++i]);
            if (c == 0xA3 && d >= 0xA1 && d <= 0xFE) narrow += static_cast<char>(d - 0x80);
            else if (c == 0xA1 && d == 0xA1) narrow += ' ';
            else if (c == 0xA1 && d == 0xAB) narrow += '~';
            else if (c == 0xA1 && (d == 0xEE || d == 0xEF)) narrow += '*';
            else narrow += std::string{static_cast<char>(c), static_cast<char>(d)};
        }
    }
    std::size_t i = narrow.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) return 0;
    const bool negative = narrow[i] == '-';
    if (narrow[i] == '-' || narrow[i] == '+') ++i;
    std::uint64_t value = 0;
    for (; i < narrow.size() && narrow[i] >= '0' && narrow[i] <= '9'; ++i) {
        value = (value * 10 + static_cast<std::uint64_t>(narrow[i] - '0')) % 4294967296u;
    }
    if (negative) value = (4294967296u - value) % 4294967296u;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::int32_t value = quorvelv::text_to_int(text);
    check(value == plain_text_to_int(text), "text_to_int as the contract reads");
    // What the paging buttons write back must read as the same number.
    const std::string written = quorvelv::real_to_text(static_cast<double>(value));
    check(quorvelv::text_to_int(written) == value, "real_to_text round trip");
    return 0;
}
