#include "tests/reliability/reliability_stage.hpp"

#include <cstdio>
#include <cstdlib>
#include <random>

#include <QTest>

#include "app/background.hpp"
#include "site/http.hpp"
#include "tests/ui/gui_support.hpp"
#include "ui/controls.hpp"

namespace quorvelv::reliability {

std::uint32_t test_seed() {
    if (const char* given = std::getenv("QUORVELV_TEST_SEED")) return static_cast<std::uint32_t>(std::atol(given));
    return std::random_device{}() % 1000000;
}

std::vector<listing_item> shown_items() {
    const auto* list = testing::control<QTreeWidget>("超级列表框1");
    const auto* ids = testing::control<QComboBox>("组合框1");
    std::vector<listing_item> items;
    const int rows = std::max(row_count(list), entry_count(ids));
    for (int r = 0; r < rows; ++r) {
        listing_item item;
        item.row = {cell_text(list, r, 0), cell_text(list, r, 1), cell_text(list, r, 2), cell_text(list, r, 3)};
        item.resource_id = entry_text(ids, r);
        items.push_back(item);
    }
    return items;
}

std::vector<listing_item> parsed(std::string_view bytes, const parser_config& config) {
    std::vector<listing_item> items;
    parse_listing_page(text_from_bytes(bytes), config, [&items](const listing_item& item) { items.push_back(item); });
    return items;
}

std::string describe(const std::vector<listing_item>& items) {
    std::string text = std::to_string(items.size()) + " rows:";
    for (const auto& item : items) text += " [" + item.resource_id + "]";
    return text;
}

long resident_bytes() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

void stage::SetUp() {
    main_window_test::SetUp();
    if (HasFatalFailure()) return;
    list = testing::control<QTreeWidget>("超级列表框1");
    ids = testing::control<QComboBox>("组合框1");
    page_box = testing::control<QLineEdit>("编辑框1");
    refresh_button = testing::control<QPushButton>("按钮5");
    ASSERT_TRUE(list && ids && page_box && refresh_button);
}

void stage::serve_listing(std::string body, int status) {
    site.on_get("/jcbh1.php", [body = std::move(body), status](const httplib::Request&, httplib::Response& response) {
        response.status = status;
        response.set_content(body, "text/html");
    });
}

void stage::click(const char* name) { QTest::mouseClick(testing::control<QPushButton>(name), Qt::LeftButton); }

bool stage::press_and_wait(const char* name, int milliseconds) {
    click(name);
    return testing::wait_for_background_routines(milliseconds);
}

void stage::expect_settled_with(const std::vector<listing_item>& items) {
    EXPECT_TRUE(refresh_button->isEnabled());
    EXPECT_EQ(testing::shown_message_box(), nullptr);
    EXPECT_EQ(row_count(list), entry_count(ids));
    const auto shown = shown_items();
    ASSERT_EQ(shown.size(), items.size()) << "shown " << describe(shown) << ", expected " << describe(items);
    for (std::size_t r = 0; r < items.size(); ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        EXPECT_EQ(shown[r].row.name, items[r].row.name);
        EXPECT_EQ(shown[r].row.size, items[r].row.size);
        EXPECT_EQ(shown[r].row.password, items[r].row.password);
        EXPECT_EQ(shown[r].row.link, items[r].row.link);
        EXPECT_EQ(shown[r].resource_id, items[r].resource_id);
    }
}

}  // namespace quorvelv::reliability
