#include "server/site.hpp"

#include <ctime>
#include <limits>
#include <string>

#include <sys/socket.h>

#include "server/form.hpp"
#include "server/texts.hpp"

namespace quorvelv {
namespace {

constexpr const char* html_type = "text/html; charset=gbk";
constexpr std::int64_t largest_page = std::int64_t{1} << 48;

void send_html(httplib::Response& res, std::string body, int status = 200) {
    res.status = status;
    // The listing and the notice change with every review: nothing may be answered from a cache.
    res.set_header("Cache-Control", "no-cache");
    res.set_content(body, html_type);
}

// Request targets come from the network: keep the log one printable line.
void append_printable(std::string& line, std::string_view text) {
    for (char byte : text) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            line += escaped;
        } else {
            line += byte;
        }
    }
}

void log_request(std::FILE* log, const httplib::Request& req, const httplib::Response& res) {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &parts);
    std::string line = stamp;
    line += ' ';
    line += req.remote_addr.empty() ? "-" : req.remote_addr;
    line += " \"";
    append_printable(line, req.method);
    line += ' ';
    append_printable(line, req.target.empty() ? req.path : req.target);
    line += "\" ";
    line += std::to_string(res.status);
    line += ' ';
    line += std::to_string(res.body.size());
    line += '\n';
    // One write per line, so lines of concurrent requests never interleave.
    std::fwrite(line.data(), 1, line.size(), log);
    std::fflush(log);
}

std::string_view error_message(int status) {
    switch (status) {
        case 400: return site_texts::malformed_form;
        case 404: return site_texts::no_such_page;
        case 413: return site_texts::form_too_long;
        case 500: return site_texts::internal_error;
        default: return site_texts::request_failed;
    }
}

// The body is read here rather than by the server: the server's own reading refuses form-encoded bodies over
// 8 KiB, and a client that posts a long description must get the site's limit, not that one.
void handle_submission(site_store& store, const site_options& options, httplib::Response& res,
                       const httplib::ContentReader& read_body) {
    std::string body;
    bool too_long = false;
    const bool complete = read_body([&](const char* data, std::size_t size) {
        if (body.size() + size > max_form_body) {
            too_long = true;  // a chunked body has no length to refuse it by beforehand
            return false;
        }
        body.append(data, size);
        return true;
    });
    if (too_long || res.status == 413) {
        send_html(res, render_message_page(site_texts::form_too_long), 413);
        return;
    }
    if (!complete) {
        send_html(res, render_message_page(site_texts::malformed_form), 400);
        return;
    }
    decoded_submission decoded = decode_submission(body);
    switch (decoded.status) {
        case form_status::ok: break;
        case form_status::missing_field:
            send_html(res, render_message_page(site_texts::fields_missing), 400);
            return;
        case form_status::malformed:
        case form_status::bad_category:
            send_html(res, render_message_page(site_texts::malformed_form), 400);
            return;
    }
    new_resource fields;
    fields.category = std::stoi(decoded.fields.category);
    fields.name = std::move(decoded.fields.name);
    fields.size = std::move(decoded.fields.size);
    fields.password = std::move(decoded.fields.password);
    fields.link = std::move(decoded.fields.link);
    fields.created = std::time(nullptr);
    const review_state state = options.auto_approve ? review_state::approved : review_state::pending;
    const std::int64_t id = add_resource(store, fields, state);
    send_html(res, render_submission_accepted(id, options.auto_approve));
}

}  // namespace

std::optional<std::int64_t> parse_page_number(std::string_view text) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        if (value < largest_page) value = value * 10 + (c - '0');
    }
    if (value > largest_page) value = largest_page;
    return negative ? -value : value;
}

listing_view listing_for(site_store& store, std::optional<std::int64_t> page, std::int64_t page_size) {
    listing_view view;
    if (!page || *page < 0) return view;
    view.page = page;
    // One row more than a page tells whether a next page exists, without counting the table.
    std::vector<resource> rows = approved_resources(store, *page * page_size, page_size + 1);
    if (static_cast<std::int64_t>(rows.size()) > page_size) {
        view.has_next = true;
        rows.resize(static_cast<std::size_t>(page_size));
    }
    view.items = std::move(rows);
    return view;
}

void configure_site(httplib::Server& server, site_store& store, const site_options& options) {
    server.set_payload_max_length(max_form_body);
    // Headers and body go out in separate writes; without this a keep-alive client waits on delayed ACKs.
    server.set_tcp_nodelay(true);
    // Address reuse for quick restarts, but not the server's default port sharing: a second site started on
    // the same port must fail, not quietly take half of the requests.
    server.set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    server.Get("/", [](const httplib::Request&, httplib::Response& res) { send_html(res, render_home_page()); });

    server.Get(R"(/jcbh1\.php)", [&store, options](const httplib::Request& req, httplib::Response& res) {
        const std::optional<std::int64_t> page =
            req.has_param("yms") ? parse_page_number(req.get_param_value("yms")) : std::optional<std::int64_t>(0);
        send_html(res, render_listing_page(listing_for(store, page, options.page_size)));
    });

    server.Get(R"(/b1\.txt)", [&store](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-cache");
        res.set_content(notice_text(store), "text/plain; charset=gbk");
    });

    server.Get(R"(/tjwz\.php)",
               [](const httplib::Request&, httplib::Response& res) { send_html(res, render_publishing_form()); });
    server.Post(R"(/tjwz\.php)", [&store, options](const httplib::Request&, httplib::Response& res,
                                                  const httplib::ContentReader& read_body) {
        handle_submission(store, options, res, read_body);
    });

    server.Get(R"(/xnzj\.php)",
               [](const httplib::Request&, httplib::Response& res) { send_html(res, render_hosting_page()); });

    server.Get(R"(/jc\.php)", [&store](const httplib::Request& req, httplib::Response& res) {
        const std::optional<std::int64_t> id = parse_page_number(req.get_param_value("pid"));
        std::optional<resource> item;
        if (id && *id > 0) item = find_resource(store, *id);
        // Pending and rejected resources are not public.
        if (!item || item->state != review_state::approved) {
            send_html(res, render_message_page(site_texts::no_such_resource), 404);
            return;
        }
        send_html(res, render_resource_page(*item));
    });

    // Statuses the server sets itself (404 for unknown paths, 413 for long bodies, 400 for broken requests)
    // get a page in the site's language; pages the handlers made are kept.
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) res.set_content(render_message_page(error_message(res.status)), html_type);
    });

    server.set_exception_handler([log = options.log](const httplib::Request&, httplib::Response& res,
                                                     std::exception_ptr error) {
        std::string what = "unknown error";
        try {
            if (error) std::rethrow_exception(error);
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        if (log) {
            const std::string line = "quorvelv-site: request failed: " + what + "\n";
            std::fwrite(line.data(), 1, line.size(), log);
        }
        res.status = 500;
        res.set_content(render_message_page(site_texts::internal_error), html_type);
    });

    if (options.log) {
        server.set_logger([log = options.log](const httplib::Request& req, const httplib::Response& res) {
            log_request(log, req, res);
        });
    }
}

}  // namespace quorvelv
