#include "site/http.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <mutex>
#include <new>

#include <curl/curl.h>

#include "site/endpoints.hpp"
#include "site/http_settings.hpp"

namespace quorvelv {
namespace {

constexpr const char* user_agent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr long redirect_bound = 20;  // libcurl would follow a redirect loop for ever
// One read buffer per fetch, the largest the Content-Length rule allows: libcurl allocates it before the
// response headers are known, and the body itself is not bounded by it.
constexpr long read_buffer_bytes = 102400;
// The first allocation of the body follows Content-Length, but a lying header must not make us reserve much.
constexpr curl_off_t reserve_bound = 16 * 1024 * 1024;

std::atomic<long> stall_guard_seconds{http_stall_guard_seconds};

// Replaced only by tests; read by any fetch, so it is swapped as a whole.
std::atomic<std::shared_ptr<const std::string>>& tls_trust_override() {
    static std::atomic<std::shared_ptr<const std::string>> value;
    return value;
}

// The process-wide session: cookies, DNS answers and TLS sessions shared by every fetch of every thread.
struct session {
    CURLSH* share = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) noexcept {
        static_cast<session*>(self)->locks[static_cast<std::size_t>(data)].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self) noexcept {
        static_cast<session*>(self)->locks[static_cast<std::size_t>(data)].unlock();
    }

    session() {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return;
        CURLSH* made = curl_share_init();
        if (!made) return;
        bool ok = curl_share_setopt(made, CURLSHOPT_LOCKFUNC, &session::lock) == CURLSHE_OK &&
                  curl_share_setopt(made, CURLSHOPT_UNLOCKFUNC, &session::unlock) == CURLSHE_OK &&
                  curl_share_setopt(made, CURLSHOPT_USERDATA, this) == CURLSHE_OK &&
                  curl_share_setopt(made, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) == CURLSHE_OK &&
                  curl_share_setopt(made, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS) == CURLSHE_OK &&
                  curl_share_setopt(made, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION) == CURLSHE_OK;
        if (ok) {
            share = made;
        } else {
            curl_share_cleanup(made);
        }
    }
};

// Made by the first fetch; a function-local static is initialised exactly once even when two threads make
// their first fetch together. Never destroyed: background fetches may still be running while the process
// ends, and the operating system reclaims the session then.
session& the_session() {
    static session* const made = new session();
    return *made;
}

struct easy_deleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct list_deleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

using clock_type = std::chrono::steady_clock;

struct transfer {
    CURL* handle = nullptr;
    std::string body;
    bool reserved = false;
    std::exception_ptr failure;  // an exception of ours, kept out of libcurl's C frames
    // The stall guard: the time the transfer last moved a byte either way.
    clock_type::duration stall_limit{};
    curl_off_t moved = 0;
    clock_type::time_point last_moved = clock_type::now();
};

// libcurl's own low-speed limit averages over several seconds, so a burst followed by silence would be waited
// on for that much longer; this watches the time since the last byte instead. libcurl calls it at least about
// once a second, also while nothing arrives.
int watch_for_stall(void* context, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) noexcept {
    auto& t = *static_cast<transfer*>(context);
    const auto now = clock_type::now();
    if (received + sent != t.moved) {
        t.moved = received + sent;
        t.last_moved = now;
        return 0;
    }
    return now - t.last_moved >= t.stall_limit ? 1 : 0;  // non-zero ends the transfer
}

std::size_t take_bytes(char* bytes, std::size_t size, std::size_t count, void* context) noexcept {
    auto& t = *static_cast<transfer*>(context);
    const std::size_t length = size * count;
    try {
        if (!t.reserved) {
            t.reserved = true;
            curl_off_t announced = -1;
            if (curl_easy_getinfo(t.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
                announced > 0)
                t.body.reserve(static_cast<std::size_t>(std::min(announced, reserve_bound)));
        }
        t.body.append(bytes, length);
        return length;
    } catch (...) {
        t.failure = std::current_exception();
        return 0;  // anything but `length` ends the transfer
    }
}

curl_slist* append_header(curl_slist* list, const char* header) {
    curl_slist* longer = curl_slist_append(list, header);
    if (!longer) {
        curl_slist_free_all(list);
        throw std::bad_alloc();
    }
    return longer;
}

bool is_clean_header_value(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// One request over the session: GET, or POST when `post_body` is given. Returns every body byte received,
// also when the transfer failed part-way. Only an allocation failure leaves it, as std::bad_alloc.
std::string fetch(std::string_view address, const std::string_view* post_body, std::string_view content_type) {
    // The fragment is the browser's business and never goes on the wire.
    address = address.substr(0, address.find('#'));
    if (address.empty() || !is_web_address(address) || address.find('\0') != std::string_view::npos) return {};
    if (post_body && !is_clean_header_value(content_type)) return {};

    session& s = the_session();
    if (!s.share) return {};

    std::unique_ptr<CURL, easy_deleter> handle(curl_easy_init());
    if (!handle) throw std::bad_alloc();
    CURL* h = handle.get();

    std::unique_ptr<curl_slist, list_deleter> headers;
    {
        curl_slist* list = append_header(nullptr, "Accept: */*");
        // Never answered from a cache nor kept in one: Pragma for HTTP/1.0 caches, Cache-Control for the rest.
        list = append_header(list, "Pragma: no-cache");
        list = append_header(list, "Cache-Control: no-cache, no-store");
        if (post_body) {
            list = append_header(list, ("Content-Type: " + std::string(content_type)).c_str());
            list = append_header(list, "Expect:");
        }
        headers.reset(list);
    }

    const std::string url(address);
    transfer t;
    t.handle = h;
    t.stall_limit = std::chrono::seconds(stall_guard_seconds.load(std::memory_order_relaxed));

    bool ok = curl_easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_SHARE, s.share) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0)) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_USERAGENT, user_agent) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_COOKIEFILE, "") == CURLE_OK &&  // the cookie engine, in memory only
              curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_MAXREDIRS, redirect_bound) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, http_connect_timeout_seconds) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &watch_for_stall) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_BUFFERSIZE, read_buffer_bytes) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &take_bytes) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_WRITEDATA, &t) == CURLE_OK;
    const auto trust = tls_trust_override().load();
    if (ok && trust && !trust->empty()) {
        curl_blob pem{const_cast<char*>(trust->data()), trust->size(), CURL_BLOB_COPY};
        ok = curl_easy_setopt(h, CURLOPT_CAINFO_BLOB, &pem) == CURLE_OK;
    }
    if (ok && post_body) {
        ok = curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(post_body->size())) ==
                 CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_POSTFIELDS, post_body->empty() ? "" : post_body->data()) == CURLE_OK;
    }
    if (!ok) return {};

    // The outcome is not examined: whatever body bytes arrived are the result, an error page's or a cut one's.
    curl_easy_perform(h);
    handle.reset();
    if (t.failure) std::rethrow_exception(t.failure);
    return std::move(t.body);
}

}  // namespace

std::string http_get(std::string_view address) { return fetch(address, nullptr, {}); }

std::string http_post(std::string_view address, std::string_view body, std::string_view content_type) {
    return fetch(address, &body, content_type);
}

std::string text_from_bytes(std::string_view bytes) { return std::string(bytes.substr(0, bytes.find('\0'))); }

void set_stall_guard_for_tests(long seconds) { stall_guard_seconds.store(seconds, std::memory_order_relaxed); }

void set_tls_trust_for_tests(std::string pem_certificates) {
    tls_trust_override().store(std::make_shared<const std::string>(std::move(pem_certificates)));
}

}  // namespace quorvelv
