#include "site/form_body.hpp"

namespace quorvelv {
namespace {

bool stays_as_is(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '*' || byte == '-' || byte == '.' || byte == '_';
}

}  // namespace

std::string form_encode(std::string_view bytes) {
    static constexpr char hex_digits[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(bytes.size() * 3);
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (stays_as_is(byte)) {
            encoded += c;
        } else if (byte == ' ') {
            encoded += '+';
        } else {
            encoded += '%';
            encoded += hex_digits[byte >> 4];
            encoded += hex_digits[byte & 0x0F];
        }
    }
    return encoded;
}

std::string publish_body(std::string_view name, std::string_view size, std::string_view address,
                         std::string_view password) {
    std::string body = "wzbt=" + form_encode(name);
    body += "&wznr=" + form_encode(size);
    body += "&wzlb=2";
    body += "&mwlb=" + form_encode(address);
    body += "&mwmm=" + form_encode(password);
    body += "&djtj=sad";
    return body;
}

}  // namespace quorvelv
