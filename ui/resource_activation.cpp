#include "ui/resource_activation.hpp"

#include <string>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTreeWidget>

#include "app/message_box.hpp"
#include "listing/activation.hpp"
#include "site/browser.hpp"
#include "ui/controls.hpp"
#include "ui/gbk.hpp"
#include "ui/main_window.hpp"

namespace quorvelv {
namespace {

// "已经成功复制密码" in GBK.
constexpr const char* copied_message = "\xD2\xD1\xBE\xAD\xB3\xC9\xB9\xA6\xB8\xB4\xD6\xC6\xC3\xDC\xC2\xEB";

QTreeWidget* listing() { return qobject_cast<QTreeWidget*>(main_window_control(QStringLiteral("超级列表框1"))); }

// Plain text only, replacing whatever the clipboard held: as Unicode text for every application, and as the
// very bytes in GBK beside it, since bytes that are no GBK show as U+FFFD in the text and would be lost there.
void put_on_clipboard(const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    auto* data = new QMimeData;
    data->setText(gbk_to_qstring(text));
    data->setData(QStringLiteral("text/plain;charset=GBK"),
                  QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    clipboard->setMimeData(data);
}

}  // namespace

void activate_resource() {
    const std::string password = remove_line_break_pairs(cell_text(listing(), selected_row(listing()), 2));
    put_on_clipboard(password);
    const std::string link = remove_line_break_pairs(cell_text(listing(), selected_row(listing()), 3));
    show_message(copied_message);
    open_in_browser(link);
}

}  // namespace quorvelv
