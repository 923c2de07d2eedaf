#include "site/browser.hpp"

#include <QByteArray>
#include <QDesktopServices>
#include <QUrl>

#include "site/endpoints.hpp"

namespace quorvelv {

void open_in_browser(std::string_view address) {
    if (!is_web_address(address)) return;
    const QByteArray bytes(address.data(), static_cast<qsizetype>(address.size()));
    QDesktopServices::openUrl(QUrl::fromEncoded(bytes, QUrl::TolerantMode));
}

}  // namespace quorvelv
