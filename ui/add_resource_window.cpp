#include "ui/add_resource_window.hpp"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "site/submission.hpp"

namespace quorvelv {
namespace {

constexpr int outer_width = 379;
constexpr int outer_height = 304;

// UI thread only; null again as soon as the window is destroyed.
QPointer<QWidget> open_window;

struct label_definition {
    const char* name;
    int x, y, width, height;
    const char* text;
};

struct field_definition {
    const char* name;
    int x, y, width, height;
    const char* text;
};

constexpr label_definition labels[] = {
    {"标签1", 16, 9, 64, 24, "资源名称："},
    {"标签2", 17, 59, 85, 24, "网盘下载地址："},
    {"标签3", 17, 112, 85, 24, "大小（MB）："},
    {"标签4", 17, 166, 85, 24, "密码："},
};

constexpr field_definition fields[] = {
    {"编辑框1", 17, 32, 336, 27, ""},
    {"编辑框2", 17, 84, 336, 27, ""},
    {"编辑框3", 17, 137, 336, 27, ""},
    {"编辑框4", 17, 190, 336, 27, "无"},
};

// The main window: the visible top-level window without a parent that is not a message box.
QWidget* owner_window() {
    if (QWidget* active = QApplication::activeWindow(); active && !qobject_cast<QMessageBox*>(active))
        return active->window();
    for (QWidget* candidate : QApplication::topLevelWidgets()) {
        if (candidate->isVisible() && !candidate->parentWidget() && !qobject_cast<QMessageBox*>(candidate))
            return candidate;
    }
    return nullptr;
}

QMargins frame_margins(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

// Sizes are outer sizes: the client area gets what the frame leaves of 379 × 304, and the frame is centred on
// the primary screen's full area.
void fit_and_centre(QWidget* window, const QMargins& frame) {
    window->setFixedSize(outer_width - frame.left() - frame.right(), outer_height - frame.top() - frame.bottom());
    QRect screen;
    if (const QScreen* primary = QGuiApplication::primaryScreen()) screen = primary->geometry();
    window->move(screen.left() + (screen.width() - outer_width) / 2,
                 screen.top() + (screen.height() - outer_height) / 2);
}

QWidget* create_window(QWidget* owner) {
    // A dialog of the main window: no taskbar button of its own, no minimise or maximise, fixed size.
    auto* window = new QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                          Qt::MSWindowsFixedSizeDialogHint);
    window->setObjectName(QStringLiteral("添加新资源"));
    window->setWindowTitle(QStringLiteral("添加新资源"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setSizeGripEnabled(false);
    // Only the main window is blocked: the submission's message boxes have no owner and stay usable.
    window->setWindowModality(owner ? Qt::WindowModal : Qt::NonModal);

    for (const auto& definition : labels) {
        auto* label = new QLabel(QString::fromUtf8(definition.text), window);
        label->setObjectName(QString::fromUtf8(definition.name));
        label->setGeometry(definition.x, definition.y, definition.width, definition.height);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    for (const auto& definition : fields) {
        auto* field = new QLineEdit(QString::fromUtf8(definition.text), window);
        field->setObjectName(QString::fromUtf8(definition.name));
        field->setGeometry(definition.x, definition.y, definition.width, definition.height);
    }
    auto* add = new QPushButton(QStringLiteral("添加"), window);
    add->setObjectName(QStringLiteral("按钮1"));
    add->setGeometry(272, 224, 80, 32);
    // Enter presses no button.
    add->setAutoDefault(false);
    add->setDefault(false);
    QObject::connect(add, &QPushButton::clicked, window, [] { request_submission(); });

    // Until the window is shown its own frame is unknown; the main window's is the best guess, being drawn by
    // the same window manager.
    fit_and_centre(window, owner ? frame_margins(owner) : QMargins());
    return window;
}

}  // namespace

QPointer<QWidget> add_resource_window() { return open_window; }

void open_add_resource_window() {
    QWidget* owner = owner_window();
    QWidget* window = create_window(owner);
    open_window = window;

    QEventLoop until_destroyed;
    QObject::connect(window, &QObject::destroyed, &until_destroyed, &QEventLoop::quit);
    window->show();
    // Refit once the window's own frame is known, in case it differs from the main window's.
    const QMargins guessed = owner ? frame_margins(owner) : QMargins();
    if (const QMargins actual = frame_margins(window); actual != guessed) fit_and_centre(window, actual);
    // Ends with the window's destruction, or when the program quits (every loop of the thread then ends).
    until_destroyed.exec();
}

}  // namespace quorvelv
