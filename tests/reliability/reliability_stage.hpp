#pragma once
// The stage of the in-process reliability tests: the main window against a local site (the publishing tests'
// stage), listing pages whose items tell their page, the list as the user sees it, and replayable seeds.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "listing/parser.hpp"
#include "tests/listing/listing_page_builder.hpp"
#include "tests/publishing/publishing_support.hpp"

namespace quorvelv::reliability {

// QUORVELV_TEST_SEED when given, else a fresh one below a million; tests print it with every failure.
std::uint32_t test_seed();

using fixtures::items_of_page;

// What the list and the id list hold, row by row (ids beside rows; an id without a row has an empty row).
std::vector<listing_item> shown_items();
// What the rules give for these fetched bytes: cut at the first zero byte, then parsed.
std::vector<listing_item> parsed(std::string_view bytes, const parser_config& config = default_parser_config());
std::string describe(const std::vector<listing_item>& items);

// The resident set of this process in bytes.
long resident_bytes();

class stage : public publishing_tests::main_window_test {
protected:
    void SetUp() override;

    // The listing page the site answers for every page number from now on.
    void serve_listing(std::string body, int status = 200);

    void click(const char* name);
    // Presses the button and waits for every refresh to end; false when that took more than `milliseconds`.
    bool press_and_wait(const char* name, int milliseconds = 10000);
    // After a refresh: 按钮5 enabled, no box, and the list holding exactly these items.
    void expect_settled_with(const std::vector<listing_item>& items);

    QTreeWidget* list = nullptr;
    QComboBox* ids = nullptr;
    QLineEdit* page_box = nullptr;
    QPushButton* refresh_button = nullptr;
};

}  // namespace quorvelv::reliability
