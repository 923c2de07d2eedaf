#pragma once
// The GUI tests' stage: the program's main window against a local site that records every request, the
// add-resource window opened through 按钮6, and the message boxes of a submission.

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "tests/support/test_server.hpp"

namespace quorvelv::publishing_tests {

// The messages of a submission, as shown.
QString incomplete_message();  // "请完善信息后再发布"
QString published_message();   // "发布成功，请等待审核"

// A visible message box with exactly this text, or null.
QMessageBox* message_box_with(const QString& text);
// Waits for that box; null when none came.
QMessageBox* wait_for_message_box(const QString& text);
// Presses OK on a box and waits until it is gone.
void press_ok_on(QMessageBox* box);

QLineEdit* field(QWidget* window, const char* name);
// Replaces a field's text the way a user types it: ASCII as key presses, anything else as an input method's
// committed text.
void type_into(QLineEdit* box, const QString& text);
QPushButton* button(QWidget* window, const char* name);

// A click where the user's mouse would land: through the window system, so that modality applies
// (a click sent straight to a widget would pass a modal block).
void click_as_the_user(QWidget* control);

class main_window_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Presses 按钮6 and runs `steps` with the window it opened, inside the modal wait. Afterwards the press has
    // returned and the window must be gone; when the steps leave it open, it is closed so nothing hangs.
    void with_add_resource_window(const std::function<void(QWidget* window)>& steps);

    // Requests of the site so far with that method and path.
    std::size_t requests_to(const std::string& method, const std::string& path) const;

    test_support::test_server site;
    QPointer<QWidget> main;
    int previous_page_clicks = 0;  // clicks that reached the main window's 按钮3
};

}  // namespace quorvelv::publishing_tests
