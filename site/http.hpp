#pragma once
// HTTP fetches of the site over one process-wide session. Failures are silent: empty or partial bytes.

#include <string>
#include <string_view>

namespace quorvelv {

std::string http_get(std::string_view address);  // body bytes; empty on any failure
std::string http_post(std::string_view address, std::string_view body, std::string_view content_type);
std::string text_from_bytes(std::string_view bytes);  // the bytes up to the first zero byte

}  // namespace quorvelv
