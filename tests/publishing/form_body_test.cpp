// The publishing form as a form-decoding site reads it.

#include "site/form_body.hpp"

#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "tests/publishing/form_decoding.hpp"

namespace quorvelv {
namespace {

using publishing_tests::decode_form;
using publishing_tests::publishing_fields;

struct form_case {
    const char* what;
    std::string name, size, address, password;
};

void PrintTo(const form_case& c, std::ostream* out) { *out << c.what; }

class publish_body_round_trip : public testing::TestWithParam<form_case> {};

TEST_P(publish_body_round_trip, arrives_as_typed_in_six_fields_in_order) {
    const form_case& c = GetParam();
    const std::string body = publish_body(c.name, c.size, c.address, c.password);
    EXPECT_EQ(decode_form(body), publishing_fields(c.name, c.size, c.address, c.password)) << body;
    // Nothing a value holds may look like form syntax once encoded.
    for (char byte : body) EXPECT_TRUE(byte > ' ' && static_cast<unsigned char>(byte) < 0x80) << body;
}

INSTANTIATE_TEST_SUITE_P(
    values, publish_body_round_trip,
    testing::Values(
        // "中文资源" and "无" as GBK bytes
        form_case{"gbk", "\xD6\xD0\xCE\xC4\xD7\xCA\xD4\xB4", "700", "http://pan.example/s/1a2b", "\xCE\xDE"},
        form_case{"form_syntax", "a&b=c+d%e f", "1 & 2", "http://x.example/?a=1&b=%20", "p+w=d%&"},
        form_case{"spaces", " ", "  ", " leading and trailing ", "two  spaces"},
        form_case{"not_a_number", "x", "many MB", "ftp://not-web", "-._*~!'()"},
        form_case{"control_bytes", "line\r\nbreak\ttab", "1", "a", "b"}),
    [](const testing::TestParamInfo<form_case>& info) { return std::string(info.param.what); });

TEST(publish_body, exact_encoding) {
    EXPECT_EQ(publish_body("a b", "12", "http://x/y?z=1", "\xCE\xDE"),
              "wzbt=a+b&wznr=12&wzlb=2&mwlb=http%3A%2F%2Fx%2Fy%3Fz%3D1&mwmm=%CE%DE&djtj=sad");
    EXPECT_EQ(form_encode("AZaz09*-._"), "AZaz09*-._");
    EXPECT_EQ(form_encode("&=+% ~"), "%26%3D%2B%25+%7E");
    EXPECT_EQ(form_encode(std::string("\x00\xFF", 2)), "%00%FF");
}

}  // namespace
}  // namespace quorvelv
