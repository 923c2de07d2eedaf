#include "server/pages.hpp"

#include <ctime>

#include "server/texts.hpp"

namespace quorvelv {
namespace {

namespace t = site_texts;

constexpr std::string_view style =
    "body{font-family:sans-serif;margin:16px auto;width:712px;color:#222}"
    "h1 a{color:#093368;text-decoration:none}"
    ".lby{border-bottom:1px solid #CAE5FF;padding:4px 0}"
    ".lby a{color:#093368;text-decoration:none}"
    ".fxan,.fxan1,.fxan3{display:inline-block;vertical-align:top}"
    ".fxan span{color:#888;margin-right:4px}"
    ".fxan3{margin:8px 8px 0 0}"
    "label{display:inline-block;width:120px}";

bool is_lead_byte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool is_trail_byte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

void open_page(std::string& out, std::string_view title_html) {
    out += "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n"
           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">\r\n<title>";
    out += title_html;
    out += "</title>\r\n<style>";
    out += style;
    out += "</style>\r\n</head>\r\n<body>\r\n<h1><a href=\"/\">";
    out += t::site_name;
    out += "</a></h1>\r\n";
}

void close_page(std::string& out) { out += "</body>\r\n</html>\r\n"; }

void append_number(std::string& out, std::int64_t value) { out += std::to_string(value); }

void append_page_link(std::string& out, std::int64_t page, std::string_view text) {
    out += "<a href=\"jcbh1.php?yms=";
    append_number(out, page);
    out += "\">";
    out += text;
    out += "</a>";
}

std::string_view category_label(int category) { return category == 2 ? t::label_drive : t::label_other; }

bool is_web_link(std::string_view link) {
    auto starts = [&](std::string_view prefix) {
        if (link.size() < prefix.size()) return false;
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            char c = link[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
            if (c != prefix[i]) return false;
        }
        return true;
    };
    return starts("http://") || starts("https://");
}

void append_item(std::string& out, const resource& item) {
    const std::string id = std::to_string(item.id);
    out += t::item_start;
    out += id;
    out += t::title_box;
    out += "<span>";
    out += category_label(item.fields.category);
    out += "</span>";
    append_html(out, item.fields.name);
    out += t::title_box_end;
    out += t::size_box;
    append_html(out, item.fields.size);
    out += t::size_box_end;
    out += t::date_box;
    out += format_date(item.fields.created);
    out += t::password_box;
    append_hidden_value(out, item.fields.password);
    out += t::link_box;
    append_hidden_value(out, item.fields.link);
    out += t::item_details;
    out += id;
    out += t::item_end;
}

}  // namespace

void append_html(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            if (is_lead_byte(c) && i + 1 < text.size() && is_trail_byte(static_cast<unsigned char>(text[i + 1]))) {
                out += text[i];
                out += text[++i];
            } else {
                out += '?';
            }
            continue;
        }
        switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '&': out += "&amp;"; break;
            default: out += (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c); break;
        }
    }
}

void append_hidden_value(std::string& out, std::string_view text) {
    // The client copies these boxes to the clipboard and the browser without decoding entities, so only the
    // one character that could open markup (and would end the client's cut) is escaped.
    std::string escaped;
    append_html(escaped, text);
    for (std::size_t at = 0; at < escaped.size();) {
        if (escaped[at] != '&') {
            out += escaped[at++];
            continue;
        }
        constexpr std::string_view entities[] = {"&gt;", "&quot;", "&amp;"};
        constexpr char plain[] = {'>', '"', '&'};
        bool replaced = false;
        for (std::size_t k = 0; k < 3; ++k) {
            if (std::string_view(escaped).substr(at, entities[k].size()) == entities[k]) {
                out += plain[k];
                at += entities[k].size();
                replaced = true;
                break;
            }
        }
        if (!replaced) out += escaped[at++];
    }
}

std::string html_text(std::string_view text) {
    std::string out;
    append_html(out, text);
    return out;
}

std::string format_date(std::int64_t seconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (!localtime_r(&time, &parts)) return "-";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d", &parts);
    return text;
}

std::string render_listing_page(const listing_view& view) {
    std::string out;
    out.reserve(2048 + view.items.size() * 800);
    std::string title(t::site_name);
    if (view.page) {
        title += " - ";
        title += t::page_before;
        title += std::to_string(*view.page + 1);
        title += t::page_after;
    }
    open_page(out, title);

    out += t::section_start;
    out += "\n";
    for (const resource& item : view.items) append_item(out, item);
    if (view.items.empty()) {
        out += "<p>";
        out += t::no_more;
        out += "</p>\r\n";
    }
    // The first pager box ends the listing section.
    out += t::section_end;
    out += "\n";
    if (view.page && *view.page > 0 && !view.items.empty()) {
        append_page_link(out, *view.page - 1, t::previous_page);
    } else if (!view.page || *view.page > 0) {
        append_page_link(out, 0, t::first_page);
    }
    out += "\r\n</div>\r\n<div class=\"fxan3\" style=\"width:65px;\">\r\n";
    if (view.page && view.has_next) append_page_link(out, *view.page + 1, t::next_page);
    out += "\r\n</div>\r\n";
    if (view.page) {
        out += "<div class=\"fxan3\">";
        out += t::page_before;
        out += ' ';
        append_number(out, *view.page + 1);
        out += ' ';
        out += t::page_after;
        out += "</div>\r\n";
    }
    close_page(out);
    return out;
}

std::string render_resource_page(const resource& item) {
    std::string out;
    std::string name = html_text(item.fields.name);
    open_page(out, name + " - " + std::string(t::site_name));
    out += "<h2>";
    out += category_label(item.fields.category);
    out += ' ';
    out += name;
    out += "</h2>\r\n<p>";
    out += t::resource_number;
    append_number(out, item.id);
    out += "</p>\r\n<p>";
    out += t::size_label;
    append_html(out, item.fields.size);
    out += "MB</p>\r\n<p>";
    out += t::date_label;
    out += format_date(item.fields.created);
    out += "</p>\r\n<p>";
    out += t::password_label;
    append_html(out, item.fields.password);
    out += "</p>\r\n<p>";
    out += t::link_label;
    const std::string link = html_text(item.fields.link);
    if (is_web_link(item.fields.link)) {
        // Only web addresses become links: a "javascript:" address would run in the visitor's browser.
        out += "<a href=\"" + link + "\" rel=\"nofollow noopener noreferrer\">" + link + "</a>";
    } else {
        out += link;
    }
    out += "</p>\r\n<p><a href=\"jcbh1.php?yms=0\">";
    out += t::back_to_list;
    out += "</a></p>\r\n";
    close_page(out);
    return out;
}

std::string render_home_page() {
    std::string out;
    open_page(out, t::site_name);
    out += "<p>";
    out += t::site_motto;
    out += "</p>\r\n<ul>\r\n<li><a href=\"jcbh1.php?yms=0\">";
    out += t::browse;
    out += "</a></li>\r\n<li><a href=\"tjwz.php\">";
    out += t::share;
    out += "</a></li>\r\n<li><a href=\"xnzj.php\">";
    out += t::hosting;
    out += "</a></li>\r\n</ul>\r\n";
    close_page(out);
    return out;
}

std::string render_hosting_page() {
    std::string out;
    open_page(out, std::string(t::hosting) + " - " + std::string(t::site_name));
    out += "<h2>";
    out += t::hosting;
    out += "</h2>\r\n<p>";
    out += t::no_hosting_offer;
    out += "</p>\r\n<p><a href=\"/\">";
    out += t::back_home;
    out += "</a></p>\r\n";
    close_page(out);
    return out;
}

std::string render_publishing_form() {
    std::string out;
    open_page(out, std::string(t::share) + " - " + std::string(t::site_name));
    out += "<h2>";
    out += t::share;
    out += "</h2>\r\n";
    // The fields in the order the desktop client posts them.
    out += "<form method=\"post\" action=\"tjwz.php\" accept-charset=\"gbk\">\r\n";
    auto field = [&](std::string_view label, std::string_view name, std::string_view value) {
        out += "<p><label for=\"";
        out += name;
        out += "\">";
        out += label;
        out += "</label><input id=\"";
        out += name;
        out += "\" name=\"";
        out += name;
        out += "\" value=\"";
        out += value;
        out += "\" size=\"60\" required></p>\r\n";
    };
    field(t::name_field, "wzbt", "");
    field(t::size_field, "wznr", "");
    out += "<input type=\"hidden\" name=\"wzlb\" value=\"2\">\r\n";
    field(t::link_field, "mwlb", "");
    field(t::password_field, "mwmm", t::no_password);
    out += "<p><button type=\"submit\" name=\"djtj\" value=\"sad\">";
    out += t::publish;
    out += "</button></p>\r\n</form>\r\n";
    close_page(out);
    return out;
}

std::string render_submission_accepted(std::int64_t id, bool published) {
    std::string out;
    const std::string_view message = published ? t::published : t::published_for_review;
    open_page(out, std::string(message) + " - " + std::string(t::site_name));
    out += "<h2>";
    out += message;
    out += "</h2>\r\n<p>";
    out += t::resource_number;
    append_number(out, id);
    out += "</p>\r\n<p><a href=\"jcbh1.php?yms=0\">";
    out += t::back_to_list;
    out += "</a> <a href=\"tjwz.php\">";
    out += t::share;
    out += "</a></p>\r\n";
    close_page(out);
    return out;
}

std::string render_message_page(std::string_view message) {
    std::string out;
    open_page(out, std::string(t::request_failed) + " - " + std::string(t::site_name));
    out += "<h2>";
    out += message;
    out += "</h2>\r\n<p><a href=\"/\">";
    out += t::back_home;
    out += "</a></p>\r\n";
    close_page(out);
    return out;
}

}  // namespace quorvelv
