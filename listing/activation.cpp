#include "listing/activation.hpp"

namespace quorvelv {

std::string remove_line_break_pairs(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80) {  // a lead byte takes the byte after it with it (a lone one at the end stays alone)
            result.append(text.substr(i, 2));
            i += 2;
        } else if (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            i += 2;
        } else {
            result += text[i];
            ++i;
        }
    }
    return result;
}

}  // namespace quorvelv
