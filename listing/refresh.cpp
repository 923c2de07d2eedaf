#include "listing/refresh.hpp"

#include <chrono>
#include <string>
#include <vector>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "app/background.hpp"
#include "listing/parser.hpp"
#include "listing/text.hpp"
#include "site/endpoints.hpp"
#include "site/http.hpp"
#include "ui/controls.hpp"
#include "ui/main_window.hpp"

namespace quorvelv {

std::atomic<std::int32_t> current_page{0};

namespace {

// Overlapping refreshes: the latest one wins. Each refresh draws a number as it starts; one that is no longer
// the latest makes no further change to the list or the drop-down list (checked on the user-interface thread,
// inside the same request as the change), so rows of two pages never mix. It still ends and enables 按钮5.
std::atomic<std::uint64_t> refreshes_started{0};

bool is_latest(std::uint64_t refresh) { return refreshes_started.load() == refresh; }

QTreeWidget* listing() { return qobject_cast<QTreeWidget*>(main_window_control(QStringLiteral("超级列表框1"))); }
QComboBox* resource_ids() { return qobject_cast<QComboBox*>(main_window_control(QStringLiteral("组合框1"))); }

std::string box(const char* name) { return box_text(main_window_control(QString::fromUtf8(name))); }

std::string page_box_text() {
    std::string text;
    run_control_request([&text] { text = box("编辑框1"); });
    return text;
}

void set_page_box_text(const std::string& text) {
    run_control_request([&text] { set_box_text(main_window_control(QStringLiteral("编辑框1")), text); });
}

void set_refresh_enabled(bool enabled) {
    run_control_request([enabled] {
        if (QWidget* button = main_window_control(QStringLiteral("按钮5"))) button->setEnabled(enabled);
    });
}

void start_refresh() {
    set_refresh_enabled(false);
    start_background(refresh_listing);
}

// The boxes are read afresh at every refresh: a user who maximised the window may have edited them.
parser_config read_parser_config() {
    parser_config config;
    run_control_request([&config] {
        config.section_start = box("编辑框3");
        config.section_end = box("编辑框4");
        config.item_pattern = box("编辑框2");
        config.size_marker = box("编辑框5");
        config.password_marker = box("编辑框9");
        config.link_marker = box("编辑框10");
        config.id_marker = box("编辑框8");
    });
    return config;
}

// Rows go to the list in batches rather than in a round trip each: a control request carries the items parsed
// since the last one and adds them one by one in page order, each whole (the row with its name, cells 2, 3
// and 1, then its id), for a few milliseconds of the user-interface thread at most; what is left goes in the
// next request. A long page thus neither stalls the window nor costs a thread switch per row, and a page that
// parses slowly still shows its rows as they are found.
class row_feeder {
public:
    explicit row_feeder(std::uint64_t refresh) : refresh_(refresh) {}

    void add(const listing_item& item) {
        pending_.push_back(item);
        if (!flushed_once_ || clock::now() - last_flush_ >= batch_interval) flush();
    }

    void flush() {
        while (next_ < pending_.size()) {
            const bool served = run_control_request([this] { add_rows_for_a_while(); });
            if (!served) break;  // the program is ending
        }
        pending_.clear();
        next_ = 0;
        flushed_once_ = true;
        last_flush_ = clock::now();
    }

private:
    using clock = std::chrono::steady_clock;
    static constexpr auto batch_interval = std::chrono::milliseconds(4);
    static constexpr auto slice = std::chrono::milliseconds(8);

    // On the user-interface thread.
    void add_rows_for_a_while() {
        QTreeWidget* list = listing();
        QComboBox* ids = resource_ids();
        if (!is_latest(refresh_) || !list || !ids) {
            next_ = pending_.size();  // overtaken, or the window is gone: nothing more to show
            return;
        }
        const auto until = clock::now() + slice;
        do {
            const listing_item& item = pending_[next_++];
            append_row(list, item.row.name);
            set_cell(list, row_count(list) - 1, 2, item.row.password);
            set_cell(list, row_count(list) - 1, 3, item.row.link);
            set_cell(list, row_count(list) - 1, 1, item.row.size);
            add_entry(ids, item.resource_id);
        } while (next_ < pending_.size() && clock::now() < until);
    }

    std::uint64_t refresh_;
    std::vector<listing_item> pending_;
    std::size_t next_ = 0;
    bool flushed_once_ = false;
    clock::time_point last_flush_;
};

}  // namespace

void request_refresh() {
    current_page.store(text_to_int(page_box_text()));
    start_refresh();
}

void request_previous_page() {
    const std::int32_t page = text_to_int(page_box_text());
    set_page_box_text(real_to_text(static_cast<double>(page) - 1.0));
    if (text_to_int(page_box_text()) <= 0) set_page_box_text("0");
    current_page.store(text_to_int(page_box_text()));
    start_refresh();
}

void request_next_page() {
    const std::int32_t page = text_to_int(page_box_text());
    set_page_box_text(real_to_text(static_cast<double>(page) + 1.0));
    current_page.store(text_to_int(page_box_text()));
    start_refresh();
}

void refresh_listing() {
    const std::uint64_t refresh = refreshes_started.fetch_add(1) + 1;

    run_control_request([refresh] {
        if (is_latest(refresh)) clear_rows(listing());
    });
    run_control_request([refresh] {
        if (is_latest(refresh)) clear_entries(resource_ids());
    });

    // A refresh overtaken before its fetch has nothing left to show: it spares the site the request.
    if (is_latest(refresh)) {
        const std::string page = text_from_bytes(http_get(listing_page_url(current_page.load())));
        const parser_config config = read_parser_config();
        row_feeder rows(refresh);
        parse_listing_page(page, config, [&rows](const listing_item& item) { rows.add(item); });
        rows.flush();
    }

    set_refresh_enabled(true);
}

}  // namespace quorvelv
