// Refreshes, paging and submissions overlapping against a site whose answers take random times: the list ends
// up holding exactly the page the box shows, rows and ids in step, never a row of another page.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include <QElapsedTimer>
#include <QTest>

#include "app/background.hpp"
#include "listing/refresh.hpp"
#include "listing/text.hpp"
#include "tests/reliability/reliability_stage.hpp"
#include "tests/ui/gui_support.hpp"
#include "ui/add_resource_window.hpp"
#include "ui/controls.hpp"
#include "ui/gbk.hpp"

namespace quorvelv::reliability {
namespace {

using namespace std::chrono_literals;
using publishing_tests::button;
using publishing_tests::field;

std::size_t items_on(int page) { return 1 + static_cast<std::size_t>((page % 7 + 7) % 7) * 3; }

std::vector<listing_item> expected_page(int page) {
    std::vector<listing_item> items;
    for (const auto& item : items_of_page(page, items_on(page))) items.push_back(fixtures::expected_item(item));
    return items;
}

// The random delays of the site's answers, shared with its handler threads.
struct delays {
    explicit delays(std::uint32_t seed) : random(seed) {}
    std::chrono::milliseconds draw(int up_to) {
        const std::lock_guard lock(mutex);
        return std::chrono::milliseconds(random() % static_cast<unsigned>(up_to + 1));
    }
    std::mutex mutex;
    std::mt19937 random;
};

class race_test : public stage {
protected:
    void serve_slow_pages(std::shared_ptr<delays> site_delays, int up_to_ms) {
        site.on_get("/jcbh1.php", [site_delays, up_to_ms](const httplib::Request& request, httplib::Response& response) {
            const int page = text_to_int(request.get_param_value("yms"));
            std::this_thread::sleep_for(site_delays->draw(up_to_ms));
            response.set_content(fixtures::listing_page(items_of_page(page, items_on(page))), "text/html");
        });
    }

    // Every row belongs to one page, row k carrying that page's item k; ids never run behind rows.
    bool consistent_now() {
        const auto shown = shown_items();
        std::string page_of_rows;
        for (std::size_t r = 0; r < shown.size(); ++r) {
            const std::string& id = shown[r].resource_id;
            if (static_cast<int>(r) >= row_count(list)) break;  // ids of rows still being cleared
            if (id.empty()) return false;                       // a row without its id
            const std::string page = id.substr(0, id.find('_'));
            if (r == 0) page_of_rows = page;
            if (page != page_of_rows || id != page + "_" + std::to_string(r) ||
                shown[r].row.password != "\r\npw " + id)
                return false;
        }
        return true;
    }
};

TEST_F(race_test, two_hundred_random_clicks_leave_exactly_the_page_the_box_shows) {
    const std::uint32_t seed = test_seed();
    SCOPED_TRACE("QUORVELV_TEST_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    serve_slow_pages(std::make_shared<delays>(seed), 15);
    page_box->setText(QStringLiteral("3"));
    const char* buttons[] = {"按钮3", "按钮4", "按钮5"};
    bool consistent = true;
    int clicks = 0;
    for (; clicks < 200; ++clicks) {
        click(buttons[random() % 3]);  // 按钮5 takes no click while a refresh runs
        QElapsedTimer pause;
        pause.start();
        const int gap = static_cast<int>(random() % 4);
        do {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        } while (pause.elapsed() < gap);
        consistent = consistent && consistent_now();
    }
    ASSERT_TRUE(testing::wait_for_background_routines(20000));
    EXPECT_TRUE(consistent);
    const int page = text_to_int(qstring_to_gbk(page_box->text()));
    EXPECT_EQ(current_page.load(), page);
    expect_settled_with(expected_page(page));
    std::printf("%d clicks, ending on page %d\n", clicks, page);
}

// The user pages, then publishes while that page loads; the submission's own refresh overlaps it.
TEST_F(race_test, a_submission_racing_a_refresh_publishes_once_and_leaves_the_box_page) {
    const std::uint32_t seed = test_seed();
    SCOPED_TRACE("QUORVELV_TEST_SEED=" + std::to_string(seed));
    auto site_delays = std::make_shared<delays>(seed);
    serve_slow_pages(site_delays, 80);
    site.on_post("/tjwz.php", [site_delays](const httplib::Request&, httplib::Response& response) {
        std::this_thread::sleep_for(site_delays->draw(80));
        response.set_content("ok", "text/html");
    });
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        click("按钮4");
        with_add_resource_window([&](QWidget* window) {
            field(window, "编辑框1")->setText(QStringLiteral("资源 ") + QString::number(round));
            field(window, "编辑框2")->setText(QStringLiteral("http://pan.example/s/1"));
            field(window, "编辑框3")->setText(QStringLiteral("10"));
            QPointer<QWidget> open = window;
            QTest::mouseClick(button(window, "按钮1"), Qt::LeftButton);
            QMessageBox* box = publishing_tests::wait_for_message_box(publishing_tests::published_message());
            ASSERT_TRUE(box);
            publishing_tests::press_ok_on(box);
            EXPECT_TRUE(QTest::qWaitFor([&] { return open.isNull(); }, 5000));
        });
        ASSERT_TRUE(testing::wait_for_background_routines());
        EXPECT_EQ(requests_to("POST", "/tjwz.php"), static_cast<std::size_t>(round + 1));
        expect_settled_with(expected_page(text_to_int(qstring_to_gbk(page_box->text()))));
    }
}

// The user gives up on a slow site and closes the window while the post waits for its answer. The site has
// the resource by then, so the user is still told, and the main window takes input at once.
TEST_F(race_test, closing_the_add_resource_window_while_its_submission_waits_on_the_site) {
    auto answer = std::make_shared<std::atomic<bool>>(false);
    site.on_post("/tjwz.php", [answer](const httplib::Request&, httplib::Response& response) {
        for (int i = 0; i < 1000 && !answer->load(); ++i) std::this_thread::sleep_for(5ms);
        response.set_content("ok", "text/html");
    });
    serve_listing(fixtures::listing_page(items_of_page(0, 2)));
    with_add_resource_window([&](QWidget* window) {
        field(window, "编辑框1")->setText(QStringLiteral("资源"));
        field(window, "编辑框2")->setText(QStringLiteral("http://pan.example/s/1"));
        field(window, "编辑框3")->setText(QStringLiteral("10"));
        QTest::mouseClick(button(window, "按钮1"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return requests_to("POST", "/tjwz.php") == 1; }, 5000));
        QPointer<QWidget> open = window;
        QTest::keyClick(field(window, "编辑框1"), Qt::Key_Escape);
        EXPECT_TRUE(QTest::qWaitFor([&] { return open.isNull(); }, 5000));
    });
    publishing_tests::click_as_the_user(testing::control<QPushButton>("按钮3"));
    EXPECT_EQ(previous_page_clicks, 1);
    EXPECT_GT(background_routines_running(), 0);  // the submission still waits
    answer->store(true);
    QMessageBox* box = publishing_tests::wait_for_message_box(publishing_tests::published_message());
    ASSERT_TRUE(box);
    publishing_tests::press_ok_on(box);
    ASSERT_TRUE(testing::wait_for_background_routines());
    EXPECT_EQ(requests_to("POST", "/tjwz.php"), 1u);
    EXPECT_TRUE(add_resource_window().isNull());
    expect_settled_with(parsed(fixtures::listing_page(items_of_page(0, 2))));
}

}  // namespace
}  // namespace quorvelv::reliability
