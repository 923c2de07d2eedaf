#include "site/endpoints.hpp"

#include <atomic>
#include <cstdio>
#include <memory>

namespace quorvelv {
namespace {

// Replaced only by tests; read by any thread, so it is swapped as a whole.
std::atomic<std::shared_ptr<const std::string>>& base_override() {
    static std::atomic<std::shared_ptr<const std::string>> value;
    return value;
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != prefix[i]) return false;
    }
    return true;
}

}  // namespace

std::string site_base_address() {
    if (auto overridden = base_override().load()) return *overridden;
    return QUORVELV_SITE_BASE_ADDRESS;
}

std::string listing_page_url(std::int32_t page) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", static_cast<int>(page));
    return site_base_address() + "/jcbh1.php?yms=" + digits;
}

std::string notice_file_url() { return site_base_address() + "/b1.txt"; }
std::string publishing_url() { return site_base_address() + "/tjwz.php"; }
std::string home_page_url() { return site_base_address(); }
std::string hosting_offer_url() { return site_base_address() + "/xnzj.php"; }

bool is_web_address(std::string_view address) {
    return starts_with_ignoring_case(address, "http://") || starts_with_ignoring_case(address, "https://");
}

void set_site_base_address_for_tests(std::string address) {
    base_override().store(std::make_shared<const std::string>(std::move(address)));
}

}  // namespace quorvelv
