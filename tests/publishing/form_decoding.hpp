#pragma once
// A form body split and decoded the way a form-handling site does it, keeping the fields' order.

#include <string>
#include <utility>
#include <vector>

#include <httplib.h>

namespace quorvelv::publishing_tests {

using field_list = std::vector<std::pair<std::string, std::string>>;

inline field_list decode_form(const std::string& body) {
    field_list fields;
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string::npos) end = body.size();
        const std::string pair = body.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        std::string key = httplib::detail::decode_url(pair.substr(0, equals), true);
        std::string value =
            equals == std::string::npos ? std::string() : httplib::detail::decode_url(pair.substr(equals + 1), true);
        fields.emplace_back(std::move(key), std::move(value));
        start = end + 1;
    }
    return fields;
}

// The six fields the site expects, in their order, with the two fixed values.
inline field_list publishing_fields(const std::string& name, const std::string& size, const std::string& address,
                                    const std::string& password) {
    return {{"wzbt", name}, {"wznr", size}, {"wzlb", "2"}, {"mwlb", address}, {"mwmm", password}, {"djtj", "sad"}};
}

}  // namespace quorvelv::publishing_tests
