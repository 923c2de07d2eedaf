#pragma once
// The listing's refresh and paging controller.

#include <atomic>
#include <cstdint>

namespace quorvelv {

// The page value the next refresh fetches; written by the requests, read once by each refresh.
extern std::atomic<std::int32_t> current_page;

void request_refresh();        // the Refresh button; also at start and after a publish (any thread)
void request_previous_page();  // 按钮3
void request_next_page();      // 按钮4
void refresh_listing();        // the refresh itself, on a background thread

}  // namespace quorvelv
