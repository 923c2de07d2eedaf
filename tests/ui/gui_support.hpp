#pragma once
// Helpers for the GUI tests: controls by name, message boxes, browser launches, waiting for background work.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QUrl>

#include "ui/main_window.hpp"

namespace quorvelv::testing {

template <typename Control>
Control* control(const char* name) {
    return qobject_cast<Control*>(main_window_control(QString::fromUtf8(name)));
}

// Browser launches go here instead of a browser, from any thread. http and https only, like the program.
class url_recorder final : public QObject {
    Q_OBJECT
public:
    url_recorder();
    ~url_recorder() override;
    std::vector<std::string> urls() const;
    void clear();

public slots:
    void open(const QUrl& url);

private:
    mutable std::mutex mutex_;
    std::vector<std::string> urls_;
};

// The message box on the screen, or null.
QMessageBox* shown_message_box();
void press_ok(QMessageBox* box);

// Processes events until no background routine runs; false when the time ran out.
bool wait_for_background_routines(int milliseconds = 10000);

// The GBK bytes of a UTF-8 literal.
std::string gbk(std::string_view utf8);

}  // namespace quorvelv::testing
