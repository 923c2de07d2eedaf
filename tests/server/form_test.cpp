// Reading publishing bodies: the client's encoded body, the unencoded body of the original client, and what
// must be refused.

#include "server/form.hpp"

#include <string>

#include <gtest/gtest.h>

namespace quorvelv {
namespace {

struct accepted_case {
    const char* what;
    std::string body;
    submission_fields expected;
};

class accepted_bodies : public testing::TestWithParam<accepted_case> {};

TEST_P(accepted_bodies, give_the_fields_as_typed) {
    const accepted_case& c = GetParam();
    const decoded_submission decoded = decode_submission(c.body);
    ASSERT_EQ(decoded.status, form_status::ok) << c.body;
    EXPECT_EQ(decoded.fields.name, c.expected.name);
    EXPECT_EQ(decoded.fields.size, c.expected.size);
    EXPECT_EQ(decoded.fields.category, c.expected.category);
    EXPECT_EQ(decoded.fields.link, c.expected.link);
    EXPECT_EQ(decoded.fields.password, c.expected.password);
    EXPECT_EQ(decoded.fields.button, c.expected.button);
}

// "中文资源" and "无" in GBK.
const std::string chinese = "\xD6\xD0\xCE\xC4\xD7\xCA\xD4\xB4";
const std::string none = "\xCE\xDE";

INSTANTIATE_TEST_SUITE_P(
    forms, accepted_bodies,
    testing::Values(
        accepted_case{"encoded",
                      "wzbt=a+b&wznr=12&wzlb=2&mwlb=http%3A%2F%2Fx%2Fy%3Fz%3D1&mwmm=%CE%DE&djtj=sad",
                      {"a b", "12", "2", "http://x/y?z=1", none, "sad"}},
        accepted_case{"encoded_lower_case_hex_and_form_syntax", "wzbt=%d6%d0%26%3d%2b%25&wznr=1&wzlb=2&mwlb=a&mwmm=b&djtj=sad",
                      {"\xD6\xD0&=+%", "1", "2", "a", "b", "sad"}},
        accepted_case{"encoded_any_order_with_unknown_fields",
                      "djtj=sad&x=1&mwmm=p&mwlb=l&wzlb=3&wznr=5&wzbt=n&&",
                      {"n", "5", "3", "l", "p", "sad"}},
        accepted_case{"encoded_with_a_trailing_line_end", "wzbt=n&wznr=5&wzlb=2&mwlb=l&mwmm=p&djtj=sad\r\n",
                      {"n", "5", "2", "l", "p", "sad"}},
        accepted_case{"unencoded_gbk_with_form_syntax_inside",
                      "wzbt=" + chinese + " & more=100%&wznr=700&wzlb=2&mwlb=https://pan.example.com/s?a=1&b=%20&mwmm=p&w=d+&djtj=sad",
                      {chinese + " & more=100%", "700", "2", "https://pan.example.com/s?a=1&b=%20", "p&w=d+", "sad"}},
        accepted_case{"unencoded_ascii_with_a_web_address",
                      "wzbt=R&B%zz&wznr=1&wzlb=2&mwlb=http://x.example/&mwmm=1&djtj=sad",
                      {"R&B%zz", "1", "2", "http://x.example/", "1", "sad"}},
        accepted_case{"ascii_in_client_order_keeps_ampersands", "wzbt=R&B&wznr=1&wzlb=2&mwlb=x.example&mwmm=1&djtj=sad",
                      {"R&B", "1", "2", "x.example", "1", "sad"}},
        accepted_case{"unencoded_control_bytes_kept", "wzbt=a\tb&wznr=1&wzlb=2&mwlb=l&mwmm=\x01&djtj=sad",
                      {"a\tb", "1", "2", "l", "\x01", "sad"}},
        accepted_case{"empty_button", "wzbt=n&wznr=5&wzlb=2&mwlb=l&mwmm=p&djtj=", {"n", "5", "2", "l", "p", ""}}),
    [](const testing::TestParamInfo<accepted_case>& info) { return std::string(info.param.what); });

struct refused_case {
    const char* what;
    std::string body;
    form_status status;
};

class refused_bodies : public testing::TestWithParam<refused_case> {};

TEST_P(refused_bodies, are_refused_with_their_reason) {
    EXPECT_EQ(decode_submission(GetParam().body).status, GetParam().status) << GetParam().body;
}

INSTANTIATE_TEST_SUITE_P(
    forms, refused_bodies,
    testing::Values(
        refused_case{"bad_hex", "wzbt=%ZZ&wznr=1&wzlb=2&mwlb=l&mwmm=p&djtj=sad", form_status::malformed},
        refused_case{"cut_escape", "wzbt=n&wznr=1&wzlb=2&mwlb=l&mwmm=p&djtj=%4", form_status::malformed},
        refused_case{"lone_percent", "wzbt=n&wznr=1&wzlb=2&mwlb=l&mwmm=%&djtj=sad", form_status::malformed},
        refused_case{"bad_hex_any_order", "wznr=1&wzbt=%G0&wzlb=2&mwlb=l&mwmm=p&djtj=sad", form_status::malformed},
        refused_case{"field_twice", "wznr=1&wzbt=a&wzbt=b&wzlb=2&mwlb=l&mwmm=p&djtj=sad", form_status::malformed},
        refused_case{"empty_body", "", form_status::missing_field},
        refused_case{"no_button", "wzbt=n&wznr=1&wzlb=2&mwlb=l&mwmm=p", form_status::missing_field},
        refused_case{"empty_name", "wzbt=&wznr=1&wzlb=2&mwlb=l&mwmm=p&djtj=sad", form_status::missing_field},
        refused_case{"empty_password", "wzbt=n&wznr=1&wzlb=2&mwlb=l&mwmm=&djtj=sad", form_status::missing_field},
        refused_case{"no_link_unencoded", "wzbt=\xD6\xD0&wznr=1&wzlb=2&mwmm=p&djtj=sad", form_status::missing_field},
        refused_case{"category_not_a_number", "wzbt=n&wznr=1&wzlb=two&mwlb=l&mwmm=p&djtj=sad", form_status::bad_category},
        refused_case{"category_too_long", "wzbt=n&wznr=1&wzlb=2000&mwlb=l&mwmm=p&djtj=sad", form_status::bad_category}),
    [](const testing::TestParamInfo<refused_case>& info) { return std::string(info.param.what); });

TEST(form_encoding, every_byte_survives_the_round_trip) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    const std::string encoded = form_encode(all);
    for (char c : encoded) EXPECT_TRUE(c > ' ' && c < 0x7F && c != '&' && c != '=') << encoded;
    EXPECT_EQ(form_decode(encoded), all);
    EXPECT_EQ(form_encode("a b*-._~"), "a+b*-._%7E");

    const submission_fields fields{all, "1 2", "2", "http://x/?a=1&b=2", all, "sad"};
    const decoded_submission decoded = decode_submission(encoded_submission(fields));
    ASSERT_EQ(decoded.status, form_status::ok);
    EXPECT_EQ(decoded.fields.name, all);
    EXPECT_EQ(decoded.fields.link, fields.link);
    EXPECT_EQ(decoded.fields.password, all);
}

}  // namespace
}  // namespace quorvelv
