#include "tests/support/test_server.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvelv::test_support {
namespace {

using namespace std::chrono_literals;

bool same_name(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        return lower(x) == lower(y);
    });
}

std::string percent_encoded(std::string_view text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

std::string query_value(std::string_view target, std::string_view key) {
    auto question = target.find('?');
    if (question == std::string_view::npos) return {};
    std::string_view query = target.substr(question + 1);
    while (!query.empty()) {
        auto amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        auto eq = pair.find('=');
        if (pair.substr(0, eq) == key) return eq == std::string_view::npos ? "" : std::string(pair.substr(eq + 1));
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return {};
}

std::size_t query_number(std::string_view target, std::string_view key, std::size_t fallback) {
    std::string value = query_value(target, key);
    if (value.empty()) return fallback;
    try {
        return static_cast<std::size_t>(std::stoull(value));
    } catch (const std::exception&) {
        return fallback;
    }
}

}  // namespace

std::string recorded_request::path() const { return target.substr(0, target.find('?')); }

bool recorded_request::has_header(std::string_view name) const {
    return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return same_name(h.first, name); });
}

std::string recorded_request::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (same_name(key, name)) return value;
    return {};
}

std::string pattern_body(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>('A' + i % 26);
    return body;
}

struct test_server::state {
    httplib::Server http;
    std::thread http_thread;
    int http_port = 0;
    std::atomic<bool> http_done{false};

    int raw_listener = -1;
    int raw_port = 0;
    int wake = -1;  // an eventfd made readable once at stop: wakes every poll of the raw listener
    std::thread raw_thread;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    bool stopping = false;
    std::map<std::string, request_handler> get_handlers, post_handlers;
    std::vector<recorded_request> requests;
    std::set<int> open_sockets;           // raw connections still open, shut down at stop
    std::vector<std::thread> connections;  // one per raw connection, joined at stop

    void record(recorded_request request) {
        std::lock_guard lock(mutex);
        requests.push_back(std::move(request));
        changed.notify_all();
    }

    // Sleeps for `delay` unless the server stops first; false when it stops.
    bool pause(std::chrono::milliseconds delay) {
        std::unique_lock lock(mutex);
        return !changed.wait_for(lock, delay, [&] { return stopping; });
    }

    bool is_stopping() {
        std::lock_guard lock(mutex);
        return stopping;
    }

    void shut_down();
    void handle_http(const httplib::Request& req, httplib::Response& res, bool post);
    void accept_raw_connections();
    void serve_raw_connection(int socket);
};

void test_server::state::handle_http(const httplib::Request& req, httplib::Response& res, bool post) {
    recorded_request request{req.method, req.target, req.version, {}, req.body};
    for (const auto& [key, value] : req.headers) {
        // httplib files the peer's address among the headers; it was not on the wire.
        if (key == "REMOTE_ADDR" || key == "REMOTE_PORT" || key == "LOCAL_ADDR" || key == "LOCAL_PORT") continue;
        request.headers.emplace_back(key, value);
    }
    const std::string path = request.path();
    const std::string target = request.target;
    record(std::move(request));

    request_handler handler;
    {
        std::lock_guard lock(mutex);
        auto& handlers = post ? post_handlers : get_handlers;
        if (auto found = handlers.find(path); found != handlers.end()) handler = found->second;
    }
    if (handler) {
        handler(req, res);
    } else if (path == "/fault/status") {
        res.status = static_cast<int>(query_number(target, "code", 500));
        res.set_content(req.get_param_value("body"), "text/html");
    } else if (path == "/fault/redirect") {
        res.status = static_cast<int>(query_number(target, "code", 302));
        res.set_header("Location", req.get_param_value("to"));
        res.set_content("redirecting", "text/plain");
    } else if (path == "/fault/loop") {
        res.status = 302;
        res.set_header("Location", "/fault/loop?hop=" + std::to_string(query_number(target, "hop", 0) + 1));
        res.set_content("round again", "text/plain");
    } else if (path == "/fault/drip") {
        const std::size_t chunks = query_number(target, "chunks", 1);
        const std::size_t chunk = std::max<std::size_t>(1, query_number(target, "bytes", 1));
        const auto delay = std::chrono::milliseconds(query_number(target, "delay", 0));
        const std::string body = pattern_body(chunks * chunk);
        res.set_content_provider(body.size(), "text/plain",
                                 [this, body, chunk, delay](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset > 0 && !pause(delay)) return false;
                                     sink.write(body.data() + offset, std::min(chunk, body.size() - offset));
                                     return true;
                                 });
    } else {
        res.status = 404;
        res.set_content("not found", "text/plain");
    }
}

namespace {

bool send_all(int socket, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// Waits until the socket is readable or the server stops; false on stop.
bool wait_readable(int socket, int wake, int timeout_ms = -1) {
    pollfd fds[2] = {{socket, POLLIN, 0}, {wake, POLLIN, 0}};
    int ready = ::poll(fds, 2, timeout_ms);
    return ready > 0 && (fds[1].revents & POLLIN) == 0;
}

}  // namespace

void test_server::state::accept_raw_connections() {
    for (;;) {
        if (!wait_readable(raw_listener, wake)) return;
        int socket = ::accept(raw_listener, nullptr, nullptr);
        if (socket < 0) continue;
        std::lock_guard lock(mutex);
        if (stopping) {
            ::close(socket);
            return;
        }
        open_sockets.insert(socket);
        connections.emplace_back([this, socket] { serve_raw_connection(socket); });
    }
}

void test_server::state::serve_raw_connection(int socket) {
    bool reset_at_close = false;
    [&] {
        std::string received;
        std::size_t header_end;
        while ((header_end = received.find("\r\n\r\n")) == std::string::npos) {
            if (!wait_readable(socket, wake)) return;
            char buffer[4096];
            ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
            if (got <= 0) return;
            received.append(buffer, static_cast<std::size_t>(got));
        }

        recorded_request request;
        std::string_view head(received.data(), header_end);
        auto line_end = head.find("\r\n");
        std::string_view line = head.substr(0, line_end);
        auto first_space = line.find(' ');
        auto last_space = line.rfind(' ');
        if (first_space == std::string_view::npos || last_space <= first_space) return;
        request.method = line.substr(0, first_space);
        request.target = line.substr(first_space + 1, last_space - first_space - 1);
        request.version = line.substr(last_space + 1);
        while (line_end != std::string_view::npos) {
            head.remove_prefix(line_end + 2);
            line_end = head.find("\r\n");
            std::string_view header = head.substr(0, line_end);
            auto colon = header.find(':');
            if (colon == std::string_view::npos) continue;
            std::string_view value = header.substr(colon + 1);
            while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
            request.headers.emplace_back(header.substr(0, colon), value);
        }
        request.body = received.substr(header_end + 4);
        const std::string path = request.path();
        const std::string target = request.target;
        record(std::move(request));

        if (path == "/fault/cut") {
            const std::size_t sent = query_number(target, "sent", 0);
            const std::size_t announced = query_number(target, "announced", sent + 1);
            if (!send_all(socket, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                                      std::to_string(announced) + "\r\n\r\n" + pattern_body(sent)))
                return;
            reset_at_close = query_number(target, "reset", 1) != 0;
            // Let the peer's kernel take every byte first, so that the reset cuts the body and not the bytes.
            for (int i = 0; i < 2000 && !is_stopping(); ++i) {
                int unsent = 0;
                if (::ioctl(socket, SIOCOUTQ, &unsent) != 0 || unsent == 0) break;
                if (!pause(1ms)) break;
            }
            if (!reset_at_close) {
                ::shutdown(socket, SHUT_WR);
                while (wait_readable(socket, wake)) {
                    char buffer[256];
                    if (::recv(socket, buffer, sizeof buffer, 0) <= 0) break;
                }
            }
        } else if (path == "/fault/unsized") {
            if (!send_all(socket, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" +
                                      pattern_body(query_number(target, "size", 0))))
                return;
            ::shutdown(socket, SHUT_WR);
            while (wait_readable(socket, wake)) {
                char buffer[256];
                if (::recv(socket, buffer, sizeof buffer, 0) <= 0) break;
            }
        } else if (path == "/fault/silent") {
            // Hold the connection open without a word until the client gives up or the server stops.
            while (wait_readable(socket, wake)) {
                char buffer[256];
                if (::recv(socket, buffer, sizeof buffer, 0) <= 0) break;
            }
        } else if (path == "/fault/endless") {
            const std::string chunk = pattern_body(std::max<std::size_t>(1, query_number(target, "bytes", 16384)));
            const auto delay = std::chrono::milliseconds(query_number(target, "delay", 0));
            if (!send_all(socket, "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n")) return;
            while (send_all(socket, chunk))
                if (delay.count() > 0 && !pause(delay)) break;
        } else {
            send_all(socket, "HTTP/1.0 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n\r\nnot found");
            ::shutdown(socket, SHUT_WR);
        }
    }();

    std::lock_guard lock(mutex);
    if (reset_at_close) {
        linger hard{1, 0};
        ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    open_sockets.erase(socket);
    ::close(socket);
}

test_server::test_server() : state_(std::make_shared<state>()) {
    state& s = *state_;
    s.http.set_keep_alive_timeout(1);
    s.http.Get(".*", [&s](const httplib::Request& req, httplib::Response& res) { s.handle_http(req, res, false); });
    s.http.Post(".*", [&s](const httplib::Request& req, httplib::Response& res) { s.handle_http(req, res, true); });
    s.http_port = s.http.bind_to_any_port("127.0.0.1");
    if (s.http_port <= 0) throw std::runtime_error("test server: cannot bind a port on 127.0.0.1");
    s.http_thread = std::thread([&s] {
        s.http.listen_after_bind();
        s.http_done = true;
    });
    // httplib ignores a stop() that comes before its loop runs, so do not hand the server out before that.
    while (!s.http.is_running() && !s.http_done) std::this_thread::sleep_for(std::chrono::milliseconds(1));

    s.wake = ::eventfd(0, EFD_CLOEXEC);
    s.raw_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (s.wake < 0 || s.raw_listener < 0 ||
        ::bind(s.raw_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s.raw_listener, 64) != 0 ||
        ::getsockname(s.raw_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        s.shut_down();
        throw std::runtime_error("test server: cannot open the raw listener on 127.0.0.1");
    }
    s.raw_port = ntohs(address.sin_port);
    s.raw_thread = std::thread([&s] { s.accept_raw_connections(); });
}

test_server::~test_server() { state_->shut_down(); }

void test_server::state::shut_down() {
    state& s = *this;
    {
        std::lock_guard lock(s.mutex);
        s.stopping = true;
        s.changed.notify_all();
        for (int socket : s.open_sockets) ::shutdown(socket, SHUT_RDWR);
    }
    if (s.wake >= 0) {
        std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(s.wake, &one, sizeof one);
    }
    s.http.stop();
    if (s.http_thread.joinable()) s.http_thread.join();
    if (s.raw_thread.joinable()) s.raw_thread.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(s.mutex);
        connections.swap(s.connections);
    }
    for (auto& connection : connections) connection.join();
    if (s.raw_listener >= 0) ::close(s.raw_listener);
    if (s.wake >= 0) ::close(s.wake);
}

int test_server::port() const { return state_->http_port; }

std::string test_server::base_address() const { return "http://127.0.0.1:" + std::to_string(state_->http_port); }

std::string test_server::url(std::string_view target) const { return base_address() + std::string(target); }

void test_server::on_get(std::string path, request_handler handler) {
    std::lock_guard lock(state_->mutex);
    state_->get_handlers[std::move(path)] = std::move(handler);
}

void test_server::on_post(std::string path, request_handler handler) {
    std::lock_guard lock(state_->mutex);
    state_->post_handlers[std::move(path)] = std::move(handler);
}

void test_server::serve(std::string path, std::string body, std::string content_type, int status) {
    on_get(std::move(path), [body = std::move(body), content_type = std::move(content_type), status](
                                const httplib::Request&, httplib::Response& res) {
        res.status = status;
        res.set_content(body, content_type);
    });
}

std::vector<recorded_request> test_server::requests() const {
    std::lock_guard lock(state_->mutex);
    return state_->requests;
}

std::size_t test_server::request_count() const {
    std::lock_guard lock(state_->mutex);
    return state_->requests.size();
}

bool test_server::wait_for_requests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->requests.size() >= count; });
}

void test_server::clear_requests() {
    std::lock_guard lock(state_->mutex);
    state_->requests.clear();
}

std::string test_server::status_url(int status, std::string_view body) const {
    return url("/fault/status?code=" + std::to_string(status) + "&body=" + percent_encoded(body));
}

std::string test_server::drip_url(int chunks, std::size_t chunk_bytes, std::chrono::milliseconds delay) const {
    return url("/fault/drip?chunks=" + std::to_string(chunks) + "&bytes=" + std::to_string(chunk_bytes) +
               "&delay=" + std::to_string(delay.count()));
}

namespace {
std::string raw_url(int port, const std::string& target) {
    return "http://127.0.0.1:" + std::to_string(port) + target;
}
}  // namespace

std::string test_server::cut_url(std::size_t sent, std::size_t announced, bool reset) const {
    return raw_url(state_->raw_port, "/fault/cut?sent=" + std::to_string(sent) + "&announced=" +
                                         std::to_string(announced) + "&reset=" + (reset ? "1" : "0"));
}

std::string test_server::unsized_url(std::size_t size) const {
    return raw_url(state_->raw_port, "/fault/unsized?size=" + std::to_string(size));
}

std::string test_server::redirect_url(std::string_view location, int status) const {
    return url("/fault/redirect?code=" + std::to_string(status) + "&to=" + percent_encoded(location));
}

std::string test_server::redirect_loop_url() const { return url("/fault/loop?hop=0"); }

std::string test_server::silent_url() const { return raw_url(state_->raw_port, "/fault/silent"); }

std::string test_server::endless_url(std::size_t chunk_bytes, std::chrono::milliseconds delay) const {
    return raw_url(state_->raw_port, "/fault/endless?bytes=" + std::to_string(chunk_bytes) +
                                         "&delay=" + std::to_string(delay.count()));
}

}  // namespace quorvelv::test_support
