// Any body posted to the publishing endpoint: decoding never crashes or hangs, an accepted body has every
// required field, the same fields survive a form-encoded round trip, and their escaped forms are inert GBK.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "server/form.hpp"
#include "server/pages.hpp"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void check_inert(std::string_view text) {
    const std::string html = quorvelv::html_text(text);
    for (std::size_t i = 0; i < html.size(); ++i) {
        const auto c = static_cast<unsigned char>(html[i]);
        check(c != '<' && c != '>' && c != '"' && c >= 0x20 && c != 0x7F);
        if (c == '&') {
            const std::string_view rest = std::string_view(html).substr(i);
            check(rest.starts_with("&lt;") || rest.starts_with("&gt;") || rest.starts_with("&quot;") ||
                  rest.starts_with("&amp;"));
        }
        if (c >= 0x80) {  // every high byte starts a complete two-byte character
            check(c >= 0x81 && c <= 0xFE && i + 1 < html.size());
            const auto trail = static_cast<unsigned char>(html[++i]);
            check(trail >= 0x40 && trail <= 0xFE && trail != 0x7F);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const quorvelv::decoded_submission decoded = quorvelv::decode_submission(body);
    if (decoded.status != quorvelv::form_status::ok) return 0;

    const quorvelv::submission_fields& f = decoded.fields;
    check(!f.name.empty() && !f.size.empty() && !f.link.empty() && !f.password.empty());
    check(!f.category.empty() && f.category.size() <= 3);
    for (const std::string* value : {&f.name, &f.size, &f.category, &f.link, &f.password, &f.button}) {
        check(value->size() <= body.size());
        check_inert(*value);
    }

    const quorvelv::decoded_submission again = quorvelv::decode_submission(quorvelv::encoded_submission(f));
    check(again.status == quorvelv::form_status::ok);
    check(again.fields.name == f.name && again.fields.size == f.size && again.fields.category == f.category &&
          again.fields.link == f.link && again.fields.password == f.password && again.fields.button == f.button);
    return 0;
}
