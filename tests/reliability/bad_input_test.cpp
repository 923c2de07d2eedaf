// What the user types and what the site sends, at its worst: page box texts, configuration boxes edited into
// nonsense, cells that are no GBK, and links that point anywhere but the web.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>
#include <QTimer>

#include "listing/activation.hpp"
#include "listing/refresh.hpp"
#include "tests/reliability/reliability_stage.hpp"
#include "tests/ui/gui_support.hpp"
#include "ui/controls.hpp"
#include "ui/main_window.hpp"
#include "ui/resource_activation.hpp"

namespace quorvelv::reliability {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class bad_input_test : public stage {
protected:
    void SetUp() override {
        stage::SetUp();
        if (HasFatalFailure()) return;
        // Each page number has its own items, so the list tells which page was fetched.
        site.on_get("/jcbh1.php", [](const httplib::Request& request, httplib::Response& response) {
            const int page = std::atoi(request.get_param_value("yms").c_str());
            response.set_content(fixtures::listing_page(items_of_page(page, 1 + static_cast<std::size_t>(page & 3))),
                                 "text/html");
        });
    }

    int last_page_requested() {
        int page = -1;
        for (const auto& request : site.requests())
            if (request.path() == "/jcbh1.php") page = std::atoi(request.target.substr(request.target.find('=') + 1).c_str());
        return page;
    }

    void set_config(const parser_config& config) {
        const std::pair<const char*, const std::string*> boxes[] = {
            {"编辑框3", &config.section_start}, {"编辑框4", &config.section_end}, {"编辑框2", &config.item_pattern},
            {"编辑框5", &config.size_marker},   {"编辑框9", &config.password_marker},
            {"编辑框10", &config.link_marker},   {"编辑框8", &config.id_marker}};
        for (const auto& [name, text] : boxes) set_box_text(main_window_control(QString::fromUtf8(name)), *text);
    }

    // Activates the row and answers the box; the addresses handed to any opener in between.
    void activate(int row) {
        list->setCurrentItem(list->topLevelItem(row));
        bool answered = false;
        QTimer::singleShot(0, [&] {
            EXPECT_TRUE(QTest::qWaitFor([] { return testing::shown_message_box() != nullptr; }));
            if (QMessageBox* box = testing::shown_message_box()) testing::press_ok(box);
            answered = true;
        });
        activate_resource();
        EXPECT_TRUE(answered);
        QCoreApplication::processEvents();
    }
};

TEST_F(bad_input_test, any_text_in_the_page_box_fetches_the_page_it_reads_as) {
    const QString texts[] = {
        QStringLiteral("99999999999999999999999999"), QStringLiteral("-99999999999999999999999999"),
        QStringLiteral("1e308"), QStringLiteral("-1e308"), QStringLiteral("1e999"), QStringLiteral("nan"),
        QStringLiteral("inf"), QStringLiteral("0x7fffffff"), QStringLiteral("+5"), QStringLiteral("--5"),
        QStringLiteral("５"), QStringLiteral("１２３４５６７８９０１２"), QStringLiteral("三"),
        QStringLiteral("😀"), QString(QChar(0xD800)), QStringLiteral("\t\r\n\x01\x7f 7"), QString(),
        QStringLiteral(" "), QString(40000, QChar('9')), QString(40000, QChar('-')), QStringLiteral("2147483647"),
        QStringLiteral("-2147483648"), QStringLiteral("4.9999999999999999"), QStringLiteral("1,5"),
    };
    for (const QString& text : texts)
        for (const char* button : {"按钮3", "按钮4", "按钮5"}) {
            SCOPED_TRACE(text.left(40).toStdString() + " " + button);
            page_box->setText(text);
            const auto started = std::chrono::steady_clock::now();
            ASSERT_TRUE(press_and_wait(button));
            EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
            const int page = current_page.load();
            EXPECT_EQ(last_page_requested(), page);
            std::vector<listing_item> expected;
            for (const auto& item : items_of_page(page, 1 + static_cast<std::size_t>(page & 3)))
                expected.push_back(fixtures::expected_item(item));
            expect_settled_with(expected);
            if (std::string(button) == "按钮3") {
                EXPECT_GE(page, 0);
            }
        }
}

TEST_F(bad_input_test, configuration_boxes_edited_into_nonsense_end_the_refresh_in_bounded_time) {
    // Names of long runs of one letter, for patterns that backtrack over them.
    // (Kept short: a pattern that matches the empty text makes an item of every byte, a row each.)
    std::vector<fixtures::page_item> items = items_of_page(0, 8);
    for (auto& item : items) item.name = std::string(1000, 'a');
    const std::string page = fixtures::listing_page(items);
    serve_listing(page);
    const parser_config defaults = default_parser_config();
    struct edit {
        const char* what;
        void (*apply)(parser_config&);
    };
    const edit edits[] = {
        {"unbalanced group", [](parser_config& c) { c.item_pattern = "(abc"; }},
        {"open class", [](parser_config& c) { c.item_pattern = "[a-"; }},
        {"bad repeat", [](parser_config& c) { c.item_pattern = "a{2,1}"; }},
        {"lone escape", [](parser_config& c) { c.item_pattern = "\\"; }},
        {"nothing to repeat", [](parser_config& c) { c.item_pattern = "*a"; }},
        {"empty pattern", [](parser_config& c) { c.item_pattern.clear(); }},
        {"matches everywhere", [](parser_config& c) { c.item_pattern = "a*"; }},
        {"backtracks badly", [](parser_config& c) { c.item_pattern = "(a|aa)*c"; }},
        {"nested repeats", [](parser_config& c) { c.item_pattern = "(a*)*b"; }},
        {"dot star repeats", [](parser_config& c) { c.item_pattern = "(.*)*(.*)*\\d{500}"; }},
        {"empty markers",
         [](parser_config& c) {
             c.section_start.clear();
             c.section_end.clear();
             c.size_marker.clear();
             c.password_marker.clear();
             c.link_marker.clear();
             c.id_marker.clear();
         }},
        {"everything empty", [](parser_config& c) { c = parser_config{}; }},
        {"markers that never occur",
         [](parser_config& c) {
             c.size_marker = "never";
             c.password_marker = "never";
             c.link_marker = "never";
             c.id_marker = "never";
         }},
        {"section that never starts", [](parser_config& c) { c.section_start = "never"; }},
        {"section end before its start", [](parser_config& c) { std::swap(c.section_start, c.section_end); }},
        {"invalid gbk markers", [](parser_config& c) { c.size_marker = "\xFF\x80"; c.link_marker = "\x81"; }},
    };
    for (const auto& e : edits) {
        SCOPED_TRACE(e.what);
#if defined(__SANITIZE_THREAD__)
        // The engine spends its work budget on one thread, ten times slower here: the other builds run these.
        if (std::string_view(e.what) == "dot star repeats" || std::string_view(e.what) == "nested repeats" ||
            std::string_view(e.what) == "backtracks badly")
            continue;
#endif
        parser_config config = defaults;
        e.apply(config);
        set_config(config);
        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(press_and_wait("按钮5"));
        const auto took = std::chrono::steady_clock::now() - started;
        EXPECT_LT(took, 5s);
        expect_settled_with(parsed(page, config));
        std::printf("%s: %lld ms, %d rows\n", e.what,
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()),
                    row_count(list));
    }
    set_config(defaults);
    ASSERT_TRUE(press_and_wait("按钮5"));
    EXPECT_EQ(shown_items().size(), items.size());
}

TEST_F(bad_input_test, cells_that_are_no_gbk_show_safely_and_reach_the_clipboard_byte_for_byte) {
    std::vector<fixtures::page_item> items = items_of_page(0, 3);
    items[0].name = "\xFF\xFE" + testing::gbk("名字") + "\x80";
    items[0].password = "\x81\x20\xFE\xFF\xA1";  // a lead byte before a space, bytes of no character, a lone lead
    items[1].password = testing::gbk("密码") + "\x80\x80";
    items[2].password = std::string("a\x01\x7F", 3);
    const std::string page = fixtures::listing_page(items);
    serve_listing(page);
    testing::url_recorder browser;
    ASSERT_TRUE(press_and_wait("按钮5"));
    // The lone lead byte takes the "<" after it along, as the GBK rule says: the cell runs to the next marker.
    const std::vector<listing_item> expected = parsed(page);
    ASSERT_EQ(expected.size(), 3u);
    expect_settled_with(expected);
    EXPECT_TRUE(list->topLevelItem(0)->text(0).contains(QChar::ReplacementCharacter));
    EXPECT_TRUE(list->topLevelItem(0)->text(0).contains(QStringLiteral("名字")));
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        activate(row);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        ASSERT_TRUE(data);
        EXPECT_EQ(data->data(QStringLiteral("text/plain;charset=GBK")).toStdString(),
                  remove_line_break_pairs(expected[static_cast<std::size_t>(row)].row.password));
        EXPECT_FALSE(data->text().isEmpty());
    }
}

// Rows of a hostile listing, activated one by one: only the web addresses reach an opener, and nothing local
// runs (openers on PATH would leave a mark, and so would the commands in the links).
TEST_F(bad_input_test, links_that_are_no_web_addresses_open_and_run_nothing) {
    const fs::path marks = fs::temp_directory_path() / ("quorvelv-marks-" + std::to_string(::getpid()));
    fs::create_directories(marks);
    const std::string mark = (marks / "ran").string();
    for (const char* opener : {"xdg-open", "gio", "kde-open", "kde-open5", "gnome-open", "exo-open",
                               "sensible-browser", "x-www-browser", "www-browser", "firefox", "chromium"}) {
        const fs::path tool = marks / opener;
        std::ofstream(tool) << "#!/bin/sh\necho \"$0 $*\" >> '" << mark << "'\n";
        fs::permissions(tool, fs::perms::owner_all);
    }
    const std::string path_before = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (marks.string() + ":" + path_before).c_str(), 1);

    testing::url_recorder browser;
    // Openers of every other scheme would record here too.
    const char* schemes[] = {"file", "javascript", "data", "ftp", "mailto", "smb", "vbscript", "ms-settings", "x"};
    for (const char* scheme : schemes) QDesktopServices::setUrlHandler(QString::fromUtf8(scheme), &browser, "open");

    const std::string links[] = {
        "file:///etc/passwd", "FILE:///bin/sh", "/bin/sh", "/usr/bin/xterm -e sh", "C:\\Windows\\System32\\calc.exe",
        "\\\\host\\share\\run.exe", "javascript:alert(1)", "JavaScript:alert(1)", "data:text/html,<script>x</script>",
        "vbscript:msgbox(1)", "ftp://host/file", "mailto:a@b.example", "smb://host/share", "ms-settings:",
        "x:$(touch " + mark + ")", "$(touch " + mark + ")", "`touch " + mark + "`", "; touch " + mark,
        "| touch " + mark, "&& touch " + mark, " http://leading.space.example/", "\thttp://tab.example/",
        "http:/one.slash.example", "http:relative", "../../etc/passwd", "~/.bashrc", "%2Fetc%2Fpasswd",
        "http://ok.example/a?$(touch " + mark + ")&`id`;|x",  // a web address: the browser's to handle, not ours
        "HTTPS://ok.example/b",
    };
    std::vector<fixtures::page_item> items;
    for (std::size_t i = 0; i < std::size(links); ++i) {
        fixtures::page_item item = fixtures::sample_item(i);
        item.link = links[i];
        items.push_back(item);
    }
    serve_listing(fixtures::listing_page(items));
    ASSERT_TRUE(press_and_wait("按钮5"));
    ASSERT_EQ(row_count(list), static_cast<int>(std::size(links)));
    for (int row = 0; row < row_count(list); ++row) {
        SCOPED_TRACE(links[row]);
        browser.clear();
        activate(row);
        const auto opened = browser.urls();
        if (std::string_view(links[row]).starts_with("http://ok") || std::string_view(links[row]).starts_with("HTTPS://")) {
            EXPECT_EQ(opened.size(), 1u);
        } else {
            EXPECT_TRUE(opened.empty()) << opened.front();
        }
    }
    QTest::qWait(50);  // an opener started anyway would have written its mark by now
    EXPECT_FALSE(fs::exists(mark)) << std::ifstream(mark).rdbuf();
    for (const char* scheme : schemes) QDesktopServices::unsetUrlHandler(QString::fromUtf8(scheme));
    ::setenv("PATH", path_before.c_str(), 1);
    fs::remove_all(marks);
}

}  // namespace
}  // namespace quorvelv::reliability
