#include "site/notice.hpp"

#include <mutex>
#include <utility>

#include "site/browser.hpp"
#include "site/endpoints.hpp"
#include "site/http.hpp"

namespace quorvelv {
namespace {

// notice_text and its guard against the exit hook. The lock is held only to store and compare, never while
// fetching or opening the browser. Never destroyed: the check may still run while the process ends.
struct notice_state {
    std::mutex mutex;
    std::optional<std::string> notice_text;
    bool released = false;
};

notice_state& state() {
    static auto* value = new notice_state;
    return *value;
}

}  // namespace

void check_notice() {
    std::string text;
    {
        const std::string bytes = http_get(notice_file_url());
        text = text_from_bytes(bytes);
    }
    bool open_home_page = false;
    {
        auto& notice = state();
        const std::lock_guard lock(notice.mutex);
        if (notice.released) return;
        notice.notice_text = std::move(text);
        open_home_page = *notice.notice_text == "1";  // byte for byte: no trimming, no number parsing
    }
    if (open_home_page) open_in_browser(home_page_url());
}

void release_notice_text() {
    auto& notice = state();
    const std::lock_guard lock(notice.mutex);
    notice.notice_text.reset();
    notice.released = true;
}

std::optional<std::string> notice_text_copy() {
    auto& notice = state();
    const std::lock_guard lock(notice.mutex);
    return notice.notice_text;
}

void reset_notice_for_tests() {
    auto& notice = state();
    const std::lock_guard lock(notice.mutex);
    notice.notice_text.reset();
    notice.released = false;
}

}  // namespace quorvelv
