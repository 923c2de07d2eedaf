#pragma once
// Reading the publishing form's body: the six fields a client posts to /tjwz.php.

#include <optional>
#include <string>
#include <string_view>

namespace quorvelv {

// The body limit of the publishing endpoint; a longer body is refused whole.
inline constexpr std::size_t max_form_body = 64 * 1024;

struct submission_fields {
    std::string name;      // wzbt
    std::string size;      // wznr, in MB
    std::string category;  // wzlb
    std::string link;      // mwlb, the download address
    std::string password;  // mwmm
    std::string button;    // djtj, the submit button's value
};

enum class form_status {
    ok,
    malformed,      // bad percent-encoding, or a field given twice
    missing_field,  // a field absent, or one of name, size, link, password empty
    bad_category,   // wzlb not a small decimal number
};

struct decoded_submission {
    form_status status = form_status::missing_field;
    submission_fields fields;
};

// Values are GBK bytes either way. A body that cannot be form-encoded output (it holds bytes outside printable
// ASCII, or a literal "://", which every encoder escapes) is taken as sent unencoded: its values are used as they
// are, and when it lists the fields in the client's order it is split at the field names, so that "&", "=" and
// "%" inside a value survive. Otherwise the body is decoded as application/x-www-form-urlencoded.
decoded_submission decode_submission(std::string_view body);

// Percent-decoding with "+" as a blank; nullopt when a "%" is not followed by two hex digits.
std::optional<std::string> form_decode(std::string_view text);

// The inverse: every byte but letters, digits and "*-._" as %XX, the blank as "+".
std::string form_encode(std::string_view bytes);

// The body of one submission in the client's field order, form-encoded.
std::string encoded_submission(const submission_fields& fields);

}  // namespace quorvelv
