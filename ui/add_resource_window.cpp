#include "ui/add_resource_window.hpp"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "site/submission.hpp"
#include "ui/main_window.hpp"
#include "ui/program_icon.hpp"

namespace quorvelv {
namespace {

constexpr int outer_width = 379;
constexpr int outer_height = 304;

// UI thread only; null again as soon as the window is destroyed.
QPointer<QWidget> open_window;

struct control_definition {
    const char* name;
    int x, y, width, height;
    const char* text;
};

constexpr control_definition labels[] = {
    {"标签1", 16, 9, 64, 24, "资源名称："},
    {"标签2", 17, 59, 85, 24, "网盘下载地址："},
    {"标签3", 17, 112, 85, 24, "大小（MB）："},
    {"标签4", 17, 166, 85, 24, "密码："},
};

constexpr control_definition fields[] = {
    {"编辑框1", 17, 32, 336, 27, ""},
    {"编辑框2", 17, 84, 336, 27, ""},
    {"编辑框3", 17, 137, 336, 27, ""},
    {"编辑框4", 17, 190, 336, 27, "无"},
};

// Sizes are outer sizes. The client area gets what the frame leaves of them, with the frame metrics the main
// window is designed with (a fixed single border and a caption, the same for both windows), and the frame is
// centred on the primary screen's full area.
void fit_and_centre(QWidget* window) {
    const QSize frame = main_window_outer_size - main_window_client_size;
    window->setFixedSize(outer_width - frame.width(), outer_height - frame.height());
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
    window->setWindowIcon(program_icon());
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

    fit_and_centre(window);
    return window;
}

}  // namespace

QPointer<QWidget> add_resource_window() { return open_window; }

void open_add_resource_window() {
    QWidget* owner = main_window();
    QWidget* window = create_window(owner);
    open_window = window;

    QEventLoop until_destroyed;
    QObject::connect(window, &QObject::destroyed, &until_destroyed, &QEventLoop::quit);
    window->show();
    // Ends with the window's destruction, or when the program quits (every loop of the thread then ends).
    until_destroyed.exec();
}

}  // namespace quorvelv
