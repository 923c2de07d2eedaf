// The main of every GUI test binary: the offscreen platform unless the caller chose one (ctest's test
// discovery runs the binary without the tests' environment), one application object, then the tests.

#include <gtest/gtest.h>

#include <QApplication>

#include "app/background.hpp"
#include "tests/ui/gui_support.hpp"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    quorvelv::prepare_background_work();
    const int result = RUN_ALL_TESTS();
    // Routines a test left running end before the application object does.
    quorvelv::testing::wait_for_background_routines();
    return result;
}
