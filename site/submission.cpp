#include "site/submission.hpp"

#include <array>
#include <string>

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include "app/background.hpp"
#include "app/message_box.hpp"
#include "listing/refresh.hpp"
#include "site/endpoints.hpp"
#include "site/form_body.hpp"
#include "site/http.hpp"
#include "ui/add_resource_window.hpp"
#include "ui/gbk.hpp"

namespace quorvelv {
namespace {

// The messages as GBK bytes, the form the message boxes take them in.
constexpr const char* incomplete_message = "\xC7\xEB\xCD\xEA\xC9\xC6\xD0\xC5\xCF\xA2\xBA\xF3\xD4\xD9\xB7\xA2\xB2\xBC";  // 请完善信息后再发布
constexpr const char* published_message =
    "\xB7\xA2\xB2\xBC\xB3\xC9\xB9\xA6\xA3\xAC\xC7\xEB\xB5\xC8\xB4\xFD\xC9\xF3\xBA\xCB";  // 发布成功，请等待审核

// Checked in this order; the first empty one stops the submission.
constexpr std::array field_names = {"编辑框1", "编辑框2", "编辑框3", "编辑框4"};

std::string read_field(const QPointer<QWidget>& window, const char* field_name) {
    return control_request(window, [field_name](QWidget* w) {
        const auto* field = w->findChild<QLineEdit*>(QString::fromUtf8(field_name));
        return field ? qstring_to_gbk(field->text()) : std::string();
    });
}

void set_add_enabled(const QPointer<QWidget>& window, bool enabled) {
    control_action(window, [enabled](QWidget* w) {
        if (auto* add = w->findChild<QPushButton*>(QStringLiteral("按钮1"))) add->setEnabled(enabled);
    });
}

}  // namespace

void request_submission() {
    const QPointer<QWidget> window = add_resource_window();
    if (!window) return;
    if (auto* add = window->findChild<QPushButton*>(QStringLiteral("按钮1"))) add->setEnabled(false);
    start_background(submit_resource);
}

void submit_resource() {
    // Taken by the first request, right after the Add handler started this routine: the open window is the one
    // whose Add button was pressed. Every later request and the close request go to that window only.
    QPointer<QWidget> window;
    run_control_request([&window] { window = add_resource_window(); });
    if (!window) return;  // closed before anything was read: nothing to publish, nobody to tell

    std::array<std::string, field_names.size()> fields;
    for (std::size_t i = 0; i < field_names.size(); ++i) {
        fields[i] = read_field(window, field_names[i]);
        if (fields[i].empty()) {
            show_message(incomplete_message);
            set_add_enabled(window, true);
            return;
        }
    }
    const auto& [name, address, size, password] = fields;

    http_post(publishing_url(), publish_body(name, size, address, password), "application/x-www-form-urlencoded");
    set_add_enabled(window, true);
    show_message(published_message);
    request_refresh();
    queue_close_request(window);
}

}  // namespace quorvelv
