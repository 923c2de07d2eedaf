#include "tests/ui/gui_support.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QTest>

#include "app/background.hpp"
#include "tests/listing/listing_page_builder.hpp"

namespace quorvelv::testing {

url_recorder::url_recorder() {
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
}

url_recorder::~url_recorder() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

std::vector<std::string> url_recorder::urls() const {
    const std::lock_guard lock(mutex_);
    return urls_;
}

void url_recorder::clear() {
    const std::lock_guard lock(mutex_);
    urls_.clear();
}

void url_recorder::open(const QUrl& url) {
    const std::lock_guard lock(mutex_);
    urls_.push_back(url.toEncoded().toStdString());
}

QMessageBox* shown_message_box() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) return box;
    return nullptr;
}

void press_ok(QMessageBox* box) {
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) QTest::mouseClick(ok, Qt::LeftButton);
}

bool wait_for_background_routines(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (background_routines_running() > 0) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QCoreApplication::processEvents();
    return true;
}

std::string gbk(std::string_view utf8) { return fixtures::to_gbk(utf8); }

}  // namespace quorvelv::testing
