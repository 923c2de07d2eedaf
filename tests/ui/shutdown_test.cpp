#include "app/background.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include "app/message_box.hpp"

namespace quorvelv {
namespace {

// One test: the end of background work cannot be undone within a process.
TEST(end_of_background_work, waiting_and_later_requests_fail_quietly_and_never_block) {
    auto* box = new QLineEdit(QStringLiteral("text"));
    const QPointer<QLineEdit> pointer(box);
    std::atomic<bool> ran{false};
    std::atomic<int> waiting{0};
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    // The user-interface thread takes no event from here on, as after the end of the loop: the requests wait.
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            ++waiting;
            results[t] = control_request(
                pointer,
                [&](QLineEdit* b) {
                    ran = true;
                    return b->text().toStdString();
                },
                std::string("gone"));
        });
    }
    while (waiting.load() < 4) std::this_thread::yield();
    QTest::qSleep(20);  // let them reach their wait
    end_background_work();
    for (auto& thread : threads) thread.join();  // they come back at once, without an answer
    for (const auto& result : results) EXPECT_EQ(result, "gone");

    // Later requests fail without waiting, from any thread, and nothing queued before runs afterwards.
    std::thread later([&] {
        EXPECT_FALSE(run_control_request([&] { ran = true; }));
        EXPECT_FALSE(post_to_user_interface_thread([&] { ran = true; }));
        queue_close_request(QPointer<QWidget>(box));
        show_message("\xD0\xC5\xCF\xA2");  // returns at once: nobody can answer a box any more
    });
    later.join();
    EXPECT_FALSE(run_control_request([&] { ran = true; }));
    QCoreApplication::processEvents();
    destroy_relay();
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(pointer);  // the close request did nothing
    delete box;
}

}  // namespace
}  // namespace quorvelv
