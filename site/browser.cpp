#include "site/browser.hpp"

#include <QByteArray>
#include <QDesktopServices>
#include <QUrl>

#include "app/background.hpp"
#include "site/endpoints.hpp"

namespace quorvelv {
namespace {

void open_now(const QByteArray& address) {
    QDesktopServices::openUrl(QUrl::fromEncoded(address, QUrl::TolerantMode));
}

}  // namespace

void open_in_browser(std::string_view address) {
    if (!is_web_address(address)) return;
    const QByteArray bytes(address.data(), static_cast<qsizetype>(address.size()));
    // Qt's desktop services keep state of their own (the browser found, the handlers) and are not made for
    // several threads: a background routine (the notice check) hands the launch over and goes on at once.
    if (!on_user_interface_thread()) {
        post_to_user_interface_thread([bytes] { open_now(bytes); });
        return;
    }
    open_now(bytes);
}

}  // namespace quorvelv
