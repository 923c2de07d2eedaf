#include "site/notice.hpp"

#include <gtest/gtest.h>

#include <string>

#include <QTest>

#include "app/background.hpp"
#include "app/program.hpp"
#include "site/endpoints.hpp"
#include "tests/support/test_server.hpp"
#include "tests/ui/gui_support.hpp"

namespace quorvelv {
namespace {

class notice_test : public ::testing::Test {
protected:
    void SetUp() override {
        reset_notice_for_tests();
        set_site_base_address_for_tests(server.base_address());
    }
    void TearDown() override { reset_notice_for_tests(); }

    std::vector<std::string> check() {
        browser.clear();
        EXPECT_TRUE(start_background(check_notice));
        EXPECT_TRUE(testing::wait_for_background_routines());
        return browser.urls();
    }

    test_support::test_server server;
    testing::url_recorder browser;
};

TEST_F(notice_test, exactly_the_one_byte_1_opens_the_home_page_once) {
    struct case_ {
        std::string body;
        int status;
        bool opens;
    } cases[] = {
        {"1", 200, true},
        {std::string("1\0xyz", 5), 200, true},  // the text ends at the zero byte
        {"1", 500, true},                        // an error response is judged by its body
        {"1\r\n", 200, false},
        {"1\n", 200, false},
        {" 1", 200, false},
        {"1 ", 200, false},
        {"01", 200, false},
        {"\xEF\xBB\xBF" "1", 200, false},
        {"", 200, false},
        {"11", 200, false},
        {"<html>missing</html>", 404, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body + " " + std::to_string(c.status));
        reset_notice_for_tests();
        server.serve("/b1.txt", c.body, "text/plain", c.status);
        const auto opened = check();
        if (c.opens) {
            EXPECT_EQ(opened, std::vector<std::string>{server.base_address()});
        } else {
            EXPECT_TRUE(opened.empty());
        }
        // The check keeps what it fetched, up to the first zero byte.
        EXPECT_EQ(notice_text_copy().value_or("(none)"), c.body.substr(0, c.body.find('\0')));
    }
}

TEST_F(notice_test, a_missing_file_or_an_unreachable_site_opens_nothing) {
    EXPECT_TRUE(check().empty());  // the server answers 404 "not found"
    set_site_base_address_for_tests("http://127.0.0.1:1");
    EXPECT_TRUE(check().empty());
    EXPECT_EQ(notice_text_copy().value_or("(none)"), "");
}

TEST_F(notice_test, the_exit_hook_releases_the_text_and_a_check_ending_after_it_stores_and_opens_nothing) {
    server.serve("/b1.txt", "abc");
    check();
    EXPECT_EQ(notice_text_copy(), "abc");
    on_program_exit();
    EXPECT_FALSE(notice_text_copy().has_value());

    // A check still waiting for the site when the program ends.
    reset_notice_for_tests();
    server.on_get("/b1.txt", [](const httplib::Request&, httplib::Response& response) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        response.set_content("1", "text/plain");
    });
    browser.clear();
    server.clear_requests();
    ASSERT_TRUE(start_background(check_notice));
    ASSERT_TRUE(server.wait_for_requests(1));
    on_program_exit();
    EXPECT_TRUE(testing::wait_for_background_routines());
    EXPECT_TRUE(browser.urls().empty());
    EXPECT_FALSE(notice_text_copy().has_value());
}

// The exit hook racing a check that stores and compares: never a double release (the sanitizer builds watch).
TEST_F(notice_test, the_exit_hook_and_a_finishing_check_never_release_the_same_text) {
    server.serve("/b1.txt", "1");
    for (int round = 0; round < 100; ++round) {
        reset_notice_for_tests();
        browser.clear();
        ASSERT_TRUE(start_background(check_notice));
        for (int spin = 0; spin < round % 10; ++spin) QCoreApplication::processEvents();
        on_program_exit();
        ASSERT_TRUE(testing::wait_for_background_routines());
        EXPECT_LE(browser.urls().size(), 1u);
        EXPECT_FALSE(notice_text_copy().has_value());
    }
}

}  // namespace
}  // namespace quorvelv
