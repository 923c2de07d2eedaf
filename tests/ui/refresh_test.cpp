#include "listing/refresh.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "app/background.hpp"
#include "listing/parser.hpp"
#include "site/endpoints.hpp"
#include "tests/listing/listing_page_builder.hpp"
#include "tests/support/test_server.hpp"
#include "tests/ui/gui_support.hpp"
#include "ui/controls.hpp"
#include "ui/main_window.hpp"

namespace quorvelv {
namespace {

using testing::control;
using testing::gbk;

using fixtures::items_of_page;

class refresh_test : public ::testing::Test {
protected:
    void SetUp() override {
        server.on_get("/jcbh1.php", [this](const httplib::Request& request, httplib::Response& response) {
            const int page = std::stoi(request.get_param_value("yms"));
            std::vector<fixtures::page_item> items;
            std::chrono::milliseconds delay{0};
            {
                const std::lock_guard lock(mutex);
                const auto found = pages.find(page);
                items = found != pages.end() ? found->second : items_of_page(page, 3);
                if (const auto slow = delays.find(page); slow != delays.end()) delay = slow->second;
            }
            std::this_thread::sleep_for(delay);
            response.set_content(fixtures::listing_page(items), "text/html");
        });
        set_site_base_address_for_tests(server.base_address());
        window = create_main_window();
        show_main_window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        list = control<QTreeWidget>("超级列表框1");
        ids = control<QComboBox>("组合框1");
        page_box = control<QLineEdit>("编辑框1");
        refresh_button = control<QPushButton>("按钮5");
    }
    void TearDown() override {
        EXPECT_TRUE(testing::wait_for_background_routines());
        delete window.data();
    }

    void click(const char* name) { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }

    // Every refresh has ended, and 按钮5 is enabled again.
    void wait_for_refreshes() {
        ASSERT_TRUE(testing::wait_for_background_routines());
        EXPECT_TRUE(refresh_button->isEnabled());
    }

    // The page number of the last listing request the site received.
    std::string last_page_requested() {
        std::string page = "none";
        for (const auto& request : server.requests())
            if (request.path() == "/jcbh1.php") page = request.target.substr(request.target.find('=') + 1);
        return page;
    }

    void expect_rows(const std::vector<fixtures::page_item>& items) {
        ASSERT_EQ(row_count(list), static_cast<int>(items.size()));
        ASSERT_EQ(entry_count(ids), static_cast<int>(items.size()));
        for (std::size_t r = 0; r < items.size(); ++r) {
            const listing_item expected = fixtures::expected_item(items[r]);
            const int row = static_cast<int>(r);
            EXPECT_EQ(cell_text(list, row, 0), expected.row.name);
            EXPECT_EQ(cell_text(list, row, 1), expected.row.size);
            EXPECT_EQ(cell_text(list, row, 2), expected.row.password);
            EXPECT_EQ(cell_text(list, row, 3), expected.row.link);
            EXPECT_EQ(entry_text(ids, row), expected.resource_id);
        }
    }

    std::mutex mutex;
    std::map<int, std::vector<fixtures::page_item>> pages;
    std::map<int, std::chrono::milliseconds> delays;
    test_support::test_server server;  // after what its handler uses: it stops first
    QPointer<QWidget> window;
    QTreeWidget* list = nullptr;
    QComboBox* ids = nullptr;
    QLineEdit* page_box = nullptr;
    QPushButton* refresh_button = nullptr;
};

TEST_F(refresh_test, a_page_of_n_items_gives_n_rows_and_n_ids_byte_for_byte) {
    for (const std::size_t n : {std::size_t{1}, std::size_t{20}, std::size_t{0}}) {
        SCOPED_TRACE(n);
        auto items = items_of_page(7, n);
        if (n > 1) {
            items[1].name = "\xFF" + gbk("坏字节") + "\x80\xB0";  // bytes that are no GBK come back untouched
            items[1].password = "\xA1\xA1" + gbk("密码");
        }
        {
            const std::lock_guard lock(mutex);
            pages[7] = items;
        }
        page_box->setText(QStringLiteral("7"));
        click("按钮5");
        EXPECT_FALSE(refresh_button->isEnabled());
        wait_for_refreshes();
        expect_rows(items);
        EXPECT_EQ(last_page_requested(), "7");
        EXPECT_EQ(current_page.load(), 7);
    }
}

// The page box's text, the button, what the box holds afterwards and the page the site is asked for.
TEST_F(refresh_test, paging_follows_the_page_box_text) {
    struct case_ {
        const char* box;  // UTF-8, as typed
        const char* button;
        const char* box_after;
        const char* page;
    } cases[] = {
        {"0", "按钮3", "0", "0"},
        {"abc", "按钮5", "abc", "0"},
        {"abc", "按钮4", "1", "1"},
        {"abc", "按钮3", "0", "0"},
        {"3.7", "按钮4", "4", "4"},
        {" 3", "按钮5", " 3", "3"},
        {"12abc", "按钮5", "12abc", "12"},
        {"１２", "按钮4", "13", "13"},
        {"-5", "按钮5", "-5", "-5"},
        {"-5", "按钮4", "-4", "-4"},
        {"-5", "按钮3", "0", "0"},
        {"2", "按钮3", "1", "1"},
        {"2147483647", "按钮4", "2147483648", "-2147483648"},
        {"2147483648", "按钮5", "2147483648", "-2147483648"},
        {"4294967296", "按钮5", "4294967296", "0"},
        {"-2147483648", "按钮3", "-2147483649", "2147483647"},  // wraps past the lower end: read as positive
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.box) + " " + c.button);
        page_box->setText(QString::fromUtf8(c.box));
        click(c.button);
        EXPECT_FALSE(refresh_button->isEnabled());
        EXPECT_EQ(page_box->text(), QString::fromUtf8(c.box_after));
        wait_for_refreshes();
        EXPECT_EQ(last_page_requested(), c.page);
        EXPECT_EQ(std::to_string(current_page.load()), c.page);
        expect_rows(items_of_page(std::stoi(c.page), 3));
    }
}

TEST_F(refresh_test, with_the_network_down_a_refresh_empties_the_list_and_enables_refresh) {
    click("按钮5");
    wait_for_refreshes();
    ASSERT_EQ(row_count(list), 3);
    set_site_base_address_for_tests("http://127.0.0.1:1");  // nothing listens there
    for (const char* button : {"按钮5", "按钮4", "按钮3"}) {
        click(button);
        wait_for_refreshes();
        EXPECT_EQ(row_count(list), 0);
        EXPECT_EQ(entry_count(ids), 0);
        EXPECT_EQ(testing::shown_message_box(), nullptr);
    }
}

TEST_F(refresh_test, refresh_pressed_twice_starts_one_refresh) {
    {
        const std::lock_guard lock(mutex);
        delays[0] = std::chrono::milliseconds(300);
    }
    click("按钮5");
    click("按钮5");  // disabled by the first press
    wait_for_refreshes();
    std::size_t fetches = 0;
    for (const auto& request : server.requests()) fetches += request.path() == "/jcbh1.php";
    EXPECT_EQ(fetches, 1u);
    expect_rows(items_of_page(0, 3));
}

// Pages that answer the slower the earlier they were asked for: every refresh runs to its end, and the list
// shows the last page asked for, its rows in order and never mixed with another page's, at every moment.
TEST_F(refresh_test, next_page_pressed_while_slow_pages_load_leaves_exactly_the_last_page) {
    std::mt19937 random(12345);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const int first = round * 10;
        constexpr int presses = 6;
        {
            const std::lock_guard lock(mutex);
            for (int p = first + 1; p <= first + presses; ++p) {
                pages[p] = items_of_page(p, 5 + random() % 20);
                delays[p] = std::chrono::milliseconds((first + presses - p) * 60 + random() % 30);
            }
        }
        page_box->setText(QString::number(first));
        for (int i = 0; i < presses; ++i) click("按钮4");
        // While they run: one page at a time in the list, its rows in order, entry k belonging to row k. (The
        // list is cleared a request before the ids are, so for a moment there are ids without rows.)
        bool consistent = true;
        while (background_routines_running() > 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            const int rows = row_count(list);
            if (entry_count(ids) < rows) consistent = false;
            std::string page_of_rows;
            for (int r = 0; r < rows; ++r) {
                const std::string id = entry_text(ids, r);
                const std::string page = id.substr(0, id.find('_'));
                if (r == 0) page_of_rows = page;
                if (page != page_of_rows || id != page + "_" + std::to_string(r) ||
                    cell_text(list, r, 2) != "\r\npw " + id)
                    consistent = false;
            }
        }
        EXPECT_TRUE(consistent);
        wait_for_refreshes();
        EXPECT_EQ(page_box->text(), QString::number(first + presses));
        expect_rows(pages[first + presses]);
        EXPECT_EQ(current_page.load(), first + presses);
    }
}

TEST_F(refresh_test, a_configuration_box_edited_by_the_user_is_read_at_the_next_refresh) {
    auto* start_marker = control<QLineEdit>("编辑框3");
    const QString original = start_marker->text();
    start_marker->setText(QStringLiteral("no such marker"));
    click("按钮5");
    wait_for_refreshes();
    EXPECT_EQ(row_count(list), 0);

    start_marker->setText(original);  // typed back by hand: the box no longer holds the bytes it was given
    click("按钮5");
    wait_for_refreshes();
    expect_rows(items_of_page(0, 3));
}

// After a publish, the submission's own thread asks for the refresh.
TEST_F(refresh_test, a_refresh_requested_from_a_background_thread_reads_the_page_box_and_disables_refresh) {
    page_box->setText(QStringLiteral("5"));
    std::atomic<bool> requested{false};
    std::thread submission([&] {
        request_refresh();
        requested = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return requested.load(); }));
    submission.join();
    wait_for_refreshes();
    EXPECT_EQ(last_page_requested(), "5");
    expect_rows(items_of_page(5, 3));
}

}  // namespace
}  // namespace quorvelv
