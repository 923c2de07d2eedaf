// Preloaded into the real program by the process tests (LD_PRELOAD): reports every top-level window the program
// shows on the error stream and answers message boxes, since nobody can click on the offscreen platform.
//
//   "watch: shown <title> skinned=<0|1> visible=<other visible windows>"
//   "watch: box skinned=<0|1> visible=<other visible windows> <title> | <text>"   (then the box is accepted)
//
// With QUORVELV_WATCH_CLOSE_WHEN=<path>, every window is closed once that file exists, which ends the program
// the way the user would.

#include <cstdio>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

namespace {

void report(const QString& line) {
    std::fprintf(stderr, "watch: %s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

class window_watch final : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() != QEvent::Show || !widget || !widget->isWindow()) return false;
        int visible = 0;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window != widget && window->isVisible()) ++visible;
        const auto state =
            QStringLiteral("skinned=%1 visible=%2").arg(qApp->styleSheet().isEmpty() ? 0 : 1).arg(visible);
        if (auto* box = qobject_cast<QMessageBox*>(widget)) {
            report(QStringLiteral("box %1 %2 | %3").arg(state, box->windowTitle(), box->text()));
            QTimer::singleShot(0, box, [box] { box->accept(); });
        } else {
            report(QStringLiteral("shown %1 %2").arg(widget->windowTitle(), state));
        }
        return false;
    }
};

void start_watching() {
    auto* watch = new window_watch(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(watch);
    const auto close_when = qEnvironmentVariable("QUORVELV_WATCH_CLOSE_WHEN");
    if (close_when.isEmpty()) return;
    auto* poll = new QTimer(watch);
    QObject::connect(poll, &QTimer::timeout, watch, [close_when] {
        if (!QFileInfo::exists(close_when)) return;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible()) window->close();
    });
    poll->start(20);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(start_watching)
