// The engine called where it cannot apply a skin: before any QApplication, in a process that has only a
// QCoreApplication, and from a thread other than the application's. Each test runs in a process of its own.

#include <gtest/gtest.h>

#include <thread>

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include "engine/skin_engine.hpp"
#include "resources/carried.hpp"
#include "tests/engine/engine_support.hpp"

namespace quorvelv {
namespace {

class engine_context_test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(directory.isValid());
        testing::write_bytes(directory.filePath(QStringLiteral("1.she")), skin_image(38));
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    std::string path() const { return QFile::encodeName(directory.filePath(QStringLiteral("1.she"))).toStdString(); }

    QTemporaryDir directory;
    int argc = 1;
    char name[16] = "engine_context";
    char* argv[2] = {name, nullptr};
};

TEST_F(engine_context_test, without_an_application_nothing_is_applied) {
    EXPECT_EQ(testing::built_engine_attach()(path().c_str(), ""), skin_no_application);
}

TEST_F(engine_context_test, a_core_application_has_no_windows_to_skin) {
    QCoreApplication application(argc, argv);
    EXPECT_EQ(testing::built_engine_attach()(path().c_str(), ""), skin_no_application);
}

TEST_F(engine_context_test, only_the_application_thread_may_attach) {
    QApplication application(argc, argv);
    const auto attach = testing::built_engine_attach();
    int result = -1;
    std::thread other([&] { result = attach(path().c_str(), ""); });
    other.join();
    EXPECT_EQ(result, skin_no_application);
    EXPECT_TRUE(application.styleSheet().isEmpty());
    EXPECT_EQ(attach(path().c_str(), ""), skin_attached);
    EXPECT_FALSE(application.styleSheet().isEmpty());
}

}  // namespace
}  // namespace quorvelv
