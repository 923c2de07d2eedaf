#include "app/message_box.hpp"

#include <functional>
#include <utility>

#include <QMessageBox>
#include <QObject>
#include <QString>

#include "app/background.hpp"
#include "ui/gbk.hpp"

namespace quorvelv {
namespace {

QMessageBox* make_box(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("信息："), text, QMessageBox::Ok);
    box->setObjectName(QStringLiteral("信息："));
    return box;
}

}  // namespace

void show_message(std::string_view text) {
    const QString shown = gbk_to_qstring(text);
    if (on_user_interface_thread()) {
        if (background_work_ended()) return;
        QMessageBox* box = make_box(shown);
        box->setWindowModality(Qt::ApplicationModal);
        box->exec();
        delete box;
        return;
    }
    // Qt shows dialogs on the user-interface thread only. The box there is non-modal, so it disables no window,
    // while this routine waits for its end.
    run_control_request_until([&shown](std::function<void()> finish) {
        QMessageBox* box = make_box(shown);
        box->setWindowModality(Qt::NonModal);
        box->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(box, &QMessageBox::finished, box, [box] { box->deleteLater(); });
        QObject::connect(box, &QObject::destroyed, [finish = std::move(finish)] { finish(); });
        box->show();
    });
}

}  // namespace quorvelv
