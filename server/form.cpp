#include "server/form.hpp"

#include <array>

namespace quorvelv {
namespace {

constexpr std::array<std::string_view, 6> field_names = {"wzbt", "wznr", "wzlb", "mwlb", "mwmm", "djtj"};
// What precedes each value in the client's body.
constexpr std::array<std::string_view, 6> separators = {"wzbt=", "&wznr=", "&wzlb=", "&mwlb=", "&mwmm=", "&djtj="};
using field_values = std::array<std::optional<std::string>, 6>;

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool sent_unencoded(std::string_view body) {
    for (unsigned char c : body) {
        if (c < 0x21 || c > 0x7E) return true;
    }
    return body.find("://") != std::string_view::npos;
}

// The client's body is "wzbt=...&wznr=...&wzlb=...&mwlb=...&mwmm=...&djtj=..." with values that may hold "&" and
// "=" themselves, so it is cut at the next field's "&name=", not at every "&". The last field is searched from
// the end, its value being the fixed button text.
std::optional<std::array<std::string_view, 6>> split_in_client_order(std::string_view body) {
    if (!body.starts_with(separators[0])) return std::nullopt;
    std::array<std::string_view, 6> values;
    std::size_t value_start = separators[0].size();
    for (std::size_t k = 1; k < field_names.size(); ++k) {
        const std::string_view separator = separators[k];
        const std::size_t at =
            k + 1 == field_names.size() ? body.rfind(separator) : body.find(separator, value_start);
        if (at == std::string_view::npos || at < value_start) return std::nullopt;
        values[k - 1] = body.substr(value_start, at - value_start);
        value_start = at + separator.size();
    }
    values.back() = body.substr(value_start);
    return values;
}

// Any order, unknown fields ignored; a field given twice makes the body ambiguous.
std::optional<field_values> split_at_ampersands(std::string_view body, bool encoded) {
    field_values values;
    while (!body.empty()) {
        const std::size_t amp = body.find('&');
        const std::string_view pair = body.substr(0, amp);
        body = amp == std::string_view::npos ? std::string_view{} : body.substr(amp + 1);
        if (pair.empty()) continue;
        const std::size_t eq = pair.find('=');
        const std::string_view raw_key = pair.substr(0, eq);
        const std::string_view raw_value = eq == std::string_view::npos ? std::string_view{} : pair.substr(eq + 1);
        std::optional<std::string> key = encoded ? form_decode(raw_key) : std::string(raw_key);
        std::optional<std::string> value = encoded ? form_decode(raw_value) : std::string(raw_value);
        if (!key || !value) return std::nullopt;
        for (std::size_t k = 0; k < field_names.size(); ++k) {
            if (*key != field_names[k]) continue;
            if (values[k]) return std::nullopt;
            values[k] = std::move(*value);
        }
    }
    return values;
}

bool is_category(std::string_view text) {
    if (text.empty() || text.size() > 3) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> form_decode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            const int high = hex_value(text[i + 1]);
            const int low = hex_value(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string form_encode(std::string_view bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (unsigned char c : bytes) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '*' || c == '-' ||
            c == '.' || c == '_') {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

std::string encoded_submission(const submission_fields& fields) {
    return "wzbt=" + form_encode(fields.name) + "&wznr=" + form_encode(fields.size) +
           "&wzlb=" + form_encode(fields.category) + "&mwlb=" + form_encode(fields.link) +
           "&mwmm=" + form_encode(fields.password) + "&djtj=" + form_encode(fields.button);
}

decoded_submission decode_submission(std::string_view body) {
    // Tools that post a file or a typed line often add a line end; no value ends the body with one.
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.remove_suffix(1);
    const bool encoded = !sent_unencoded(body);

    field_values values;
    if (auto in_order = split_in_client_order(body)) {
        for (std::size_t k = 0; k < values.size(); ++k) {
            values[k] = encoded ? form_decode((*in_order)[k]) : std::string((*in_order)[k]);
            if (!values[k]) return {form_status::malformed, {}};
        }
    } else if (auto any_order = split_at_ampersands(body, encoded)) {
        values = std::move(*any_order);
    } else {
        return {form_status::malformed, {}};
    }

    for (std::size_t k = 0; k < values.size(); ++k) {
        const bool may_be_empty = field_names[k] == "djtj";
        if (!values[k] || (!may_be_empty && values[k]->empty())) return {form_status::missing_field, {}};
    }
    if (!is_category(*values[2])) return {form_status::bad_category, {}};

    decoded_submission result{form_status::ok, {}};
    result.fields.name = std::move(*values[0]);
    result.fields.size = std::move(*values[1]);
    result.fields.category = std::move(*values[2]);
    result.fields.link = std::move(*values[3]);
    result.fields.password = std::move(*values[4]);
    result.fields.button = std::move(*values[5]);
    return result;
}

}  // namespace quorvelv
