#include "app/background.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/message_box.hpp"
#include "tests/ui/gui_support.hpp"
#include "ui/gbk.hpp"

namespace quorvelv {
namespace {

using testing::gbk;

// Joins the threads while the user-interface thread serves their requests.
void join_serving(std::vector<std::thread>& threads, const std::atomic<int>& finished) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished.load() == static_cast<int>(threads.size()); }, 10000));
    for (auto& thread : threads) thread.join();
}

TEST(background, start_background_runs_the_routine_on_a_thread_of_its_own) {
    static std::atomic<bool> ran_elsewhere{false};
    ran_elsewhere = false;
    EXPECT_TRUE(start_background([] { ran_elsewhere = !on_user_interface_thread(); }));
    EXPECT_TRUE(testing::wait_for_background_routines());
    EXPECT_TRUE(ran_elsewhere);
    EXPECT_FALSE(start_background(nullptr));
}

TEST(background, requests_of_several_threads_keep_their_order_and_run_on_the_user_interface_thread) {
    constexpr int thread_count = 4;
    constexpr int requests_each = 250;
    std::vector<std::pair<int, int>> served;  // touched on the user-interface thread only
    std::atomic<int> off_thread{0}, failed{0}, finished{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < thread_count; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < requests_each; ++i) {
                const bool ran = run_control_request([&, i] {
                    if (!on_user_interface_thread()) ++off_thread;
                    served.emplace_back(t, i);
                });
                if (!ran) ++failed;
            }
            ++finished;
        });
    }
    join_serving(threads, finished);
    EXPECT_EQ(off_thread.load(), 0);
    EXPECT_EQ(failed.load(), 0);
    ASSERT_EQ(served.size(), static_cast<std::size_t>(thread_count * requests_each));
    std::vector<int> next(thread_count, 0);
    for (const auto& [t, i] : served) EXPECT_EQ(i, next[t]++) << "thread " << t;
}

TEST(background, on_the_user_interface_thread_a_request_acts_at_once) {
    int value = 0;
    EXPECT_TRUE(run_control_request([&] { value = 1; }));
    EXPECT_EQ(value, 1);
    QLineEdit box(QStringLiteral("now"));
    const QPointer<QLineEdit> pointer(&box);
    EXPECT_EQ(control_request(pointer, [](QLineEdit* b) { return b->text(); }), QStringLiteral("now"));
}

// A handler's own control changes are all made before the first request of a routine it starts is served.
TEST(background, a_handler_finishes_its_changes_before_the_routine_it_started_reads) {
    QLineEdit box;
    const QPointer<QLineEdit> pointer(&box);
    for (int round = 0; round < 30; ++round) {
        box.setText(QStringLiteral("before"));
        QString seen;
        std::atomic<bool> done{false};
        std::thread reader;
        QTimer::singleShot(0, [&] {  // the handler
            reader = std::thread([&] {
                seen = control_request(pointer, [](QLineEdit* b) { return b->text(); });
                done = true;
            });
            QTest::qSleep(1);  // the handler takes its time; nothing is served meanwhile
            box.setText(QStringLiteral("after"));
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }));
        reader.join();
        EXPECT_EQ(seen, QStringLiteral("after"));
    }
}

TEST(background, requests_are_served_while_a_modal_box_waits) {
    std::atomic<bool> served{false};
    std::thread requester;
    bool answered = false;
    QTimer::singleShot(0, [&] {
        requester = std::thread([&] { served = run_control_request([] {}); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return served.load(); }));
        if (QMessageBox* box = testing::shown_message_box()) testing::press_ok(box);
        answered = true;
    });
    show_message(gbk("已经成功复制密码"));
    requester.join();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(served);
}

TEST(background, requests_to_a_widget_that_is_gone_fail_quietly) {
    auto* box = new QLineEdit(QStringLiteral("text"));
    const QPointer<QLineEdit> pointer(box);
    delete box;
    std::string text = "unset";
    int count = -1;
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        text = control_request(pointer, [](QLineEdit* b) { return qstring_to_gbk(b->text()); });
        count = control_request(pointer, [](QLineEdit* b) { return static_cast<int>(b->text().size()); });
        control_action(pointer, [](QLineEdit* b) { b->setText(QStringLiteral("written")); });
        ++finished;
    });
    join_serving(threads, finished);
    EXPECT_EQ(text, "");
    EXPECT_EQ(count, 0);
}

TEST(background, close_requests_are_queued_and_ignore_a_window_that_is_gone) {
    auto* window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    const QPointer<QWidget> pointer(window);
    std::atomic<bool> returned{false};
    std::thread closer([&] {
        queue_close_request(pointer);
        returned = true;
    });
    closer.join();  // the caller went on without the user-interface thread taking a single event
    EXPECT_TRUE(returned);
    EXPECT_TRUE(pointer && pointer->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return pointer.isNull(); }));

    std::thread again([&] { queue_close_request(pointer); });  // already gone: nothing happens
    again.join();
    QCoreApplication::processEvents();
}

TEST(background, a_routines_message_box_disables_no_window_and_blocks_only_the_routine) {
    QWidget window;
    auto* button = new QPushButton(QStringLiteral("press"), &window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy presses(button, &QPushButton::clicked);

    std::atomic<bool> returned{false};
    std::thread routine([&] {
        show_message(gbk("发布成功，请等待审核"));
        returned = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([] { return testing::shown_message_box() != nullptr; }));
    QMessageBox* box = testing::shown_message_box();
    EXPECT_EQ(box->text(), QStringLiteral("发布成功，请等待审核"));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("信息："));
    EXPECT_EQ(box->parentWidget(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(window.isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(presses.count(), 1);
    EXPECT_FALSE(returned);

    testing::press_ok(box);
    EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }));
    routine.join();
    EXPECT_TRUE(QTest::qWaitFor([] { return testing::shown_message_box() == nullptr; }));
}

}  // namespace
}  // namespace quorvelv
