#include "ui/main_window.hpp"

#include <cstdint>
#include <string>

#ifdef QUORVELV_HAVE_XCB
#include <xcb/xcb.h>
#endif

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QTreeWidget>

#include "app/program.hpp"
#include "listing/config_texts.hpp"
#include "listing/parser.hpp"
#include "listing/refresh.hpp"
#include "site/browser.hpp"
#include "site/endpoints.hpp"
#include "ui/add_resource_window.hpp"
#include "ui/controls.hpp"
#include "ui/program_icon.hpp"
#include "ui/resource_activation.hpp"

namespace quorvelv {
namespace {

QPointer<QWidget> the_window;

constexpr Qt::WindowStates sized_by_the_desktop = Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized;

// The window keeps its design size unless it is maximised. Window managers on X11 (openbox among them) refuse
// to maximise a window whose minimum and maximum sizes are equal, so the size is not fixed for them: the
// minimum is the design size and a size the user drags the frame to is taken back at once.
//
// On X11 the size is taken back with a request that carries the size alone. Qt's own resize also sends the
// position, which openbox, when it arrives during its interactive resize, applies to the client area instead
// of the frame: the window would creep up by its title bar at every drag.
class main_window_widget final : public QWidget {
public:
    main_window_widget() : QWidget(nullptr, Qt::Window) {}

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        restore_design_size_later();
    }

    void changeEvent(QEvent* event) override {
        QWidget::changeEvent(event);
        if (event->type() == QEvent::WindowStateChange) restore_design_size_later();
    }

private:
    void restore_design_size_later() {
        if (pending_) return;
        pending_ = true;
        // After the event: a maximise arrives as a resize followed by the state change, in either order.
        QTimer::singleShot(0, this, [this] {
            pending_ = false;
            if (!(windowState() & sized_by_the_desktop) && size() != main_window_client_size) restore_design_size();
        });
    }

    void restore_design_size() {
#ifdef QUORVELV_HAVE_XCB
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (x11 && x11->connection() && QGuiApplication::platformName() == QLatin1String("xcb")) {
            const std::uint32_t values[] = {static_cast<std::uint32_t>(main_window_client_size.width()),
                                            static_cast<std::uint32_t>(main_window_client_size.height())};
            xcb_configure_window(x11->connection(), static_cast<xcb_window_t>(winId()),
                                 XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
            xcb_flush(x11->connection());
            return;
        }
#endif
        resize(main_window_client_size);
    }

    bool pending_ = false;
};

// Enter on a focused row activates it, as a double-click does; the selection shows only while the list has
// the focus.
class list_behaviour final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A widget: the list loses the focus inside its own destructor, by when it is a QTreeWidget no more.
        auto* list = static_cast<QWidget*>(watched);
        switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            const auto* tree = qobject_cast<QTreeWidget*>(watched);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && tree &&
                tree->currentIndex().isValid()) {
                activate_resource();
                return true;
            }
            break;
        }
        case QEvent::FocusIn:
            list->setPalette(QPalette());
            break;
        case QEvent::FocusOut: {
            QPalette hidden = list->palette();
            for (const auto group : {QPalette::Active, QPalette::Inactive}) {
                hidden.setColor(group, QPalette::Highlight, hidden.color(group, QPalette::Base));
                hidden.setColor(group, QPalette::HighlightedText, hidden.color(group, QPalette::Text));
            }
            list->setPalette(hidden);
            break;
        }
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }
};

template <typename Control>
Control* place(Control* control, QWidget* window, const char* name, int x, int y, int width, int height) {
    control->setParent(window);
    control->setObjectName(QString::fromUtf8(name));
    control->setGeometry(x, y, width, height);
    return control;
}

QPushButton* add_button(QWidget* window, const char* name, int x, int y, int width, int height, const char* text,
                        void (*handler)()) {
    auto* button = place(new QPushButton(QString::fromUtf8(text)), window, name, x, y, width, height);
    button->setAutoDefault(false);  // no default button: Enter presses none
    button->setDefault(false);
    QObject::connect(button, &QPushButton::clicked, window, handler);
    return button;
}

QLineEdit* add_line_box(QWidget* window, const char* name, int x, int y, int width, int height,
                        const std::string& text) {
    auto* box = place(new QLineEdit, window, name, x, y, width, height);
    set_box_text(box, text);
    box->setCursorPosition(0);
    return box;
}

QTreeWidget* add_listing(QWidget* window) {
    auto* list = place(new QTreeWidget, window, "超级列表框1", 8, 7, 552, 233);
    list->setColumnCount(4);
    list->setHeaderLabels({QStringLiteral("教程名称"), QStringLiteral("大小"), QStringLiteral("密码"),
                           QStringLiteral("下载地址")});
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setIndentation(0);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSortingEnabled(false);
    list->setDragEnabled(false);
    list->setAcceptDrops(false);
    list->setDragDropMode(QAbstractItemView::NoDragDrop);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* header = list->header();
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);  // clickable, with nothing bound to a click
    header->setSortIndicatorShown(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    constexpr int widths[] = {200, 80, 70, 300};
    for (int column = 0; column < 4; ++column) header->resizeSection(column, widths[column]);

    // Activation is wired here rather than through `activated`, which some styles raise on a single click.
    QObject::connect(list, &QAbstractItemView::doubleClicked, window, [](const QModelIndex& index) {
        if (index.isValid()) activate_resource();
    });
    list->installEventFilter(new list_behaviour(list));
    return list;
}

void add_hidden_menu(QWidget* window) {
    // The window's definition carries a hidden top-level menu; it is never shown and nothing is bound to it.
    auto* menu = new QMenu(QStringLiteral("菜单"), window);
    menu->setObjectName(QStringLiteral("菜单"));
    for (const char* item : {"刷新", "最小化", "还原"}) menu->addAction(QString::fromUtf8(item))->setObjectName(QString::fromUtf8(item));
}

void open_home_page() { open_in_browser(home_page_url()); }
void open_hosting_offer() { open_in_browser(hosting_offer_url()); }

}  // namespace

QWidget* create_main_window() {
    auto* window = new main_window_widget;
    window->setObjectName(QStringLiteral("Quorvelv.2.3"));
    window->setWindowTitle(QStringLiteral("Quorvelv.2.3"));
    window->setWindowIcon(program_icon());
    window->setAttribute(Qt::WA_DeleteOnClose);  // closing destroys it, which ends the loop
    window->setMinimumSize(main_window_client_size);
    window->resize(main_window_client_size);

    const parser_config config = default_parser_config();
    const std::string box6 = default_box6_text();
    const std::string box7 = default_box7_text();

    // In the order of the window's definition, which is also the Tab order.
    add_listing(window);
    add_button(window, "按钮3", 8, 247, 64, 32, "上一页", request_previous_page);
    add_button(window, "按钮4", 78, 247, 58, 32, "下一页", request_next_page);
    add_button(window, "按钮5", 142, 247, 50, 32, "刷新", request_refresh);
    add_line_box(window, "编辑框1", 207, 252, 31, 24, "0")->setAlignment(Qt::AlignCenter);
    add_button(window, "按钮6", 254, 247, 110, 32, "添加新资源", open_add_resource_window);
    add_button(window, "按钮2", 368, 247, 110, 32, "官方网站", open_home_page);
    add_button(window, "按钮1", 800, 350, 357, 32, "免费1G虚拟主机+数据库+免费域名", open_hosting_offer);
    place(new QLabel(QStringLiteral("页码：")), window, "标签1", 801, 365, 33, 24)
        ->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* ids = place(new QComboBox, window, "组合框1", 648, 120, 100, 20);
    ids->setEditable(true);
    ids->setInsertPolicy(QComboBox::NoInsert);
    ids->setDuplicatesEnabled(true);
    ids->setCompleter(nullptr);
    ids->setCurrentIndex(-1);

    auto* pattern = place(new QPlainTextEdit, window, "编辑框2", 960, 384, 360, 184);
    pattern->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    pattern->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    pattern->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pattern->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pattern->setTabChangesFocus(true);
    set_box_text(pattern, config.item_pattern);

    add_line_box(window, "编辑框3", 688, 384, 80, 20, config.section_start);
    add_line_box(window, "编辑框4", 752, 224, 80, 20, config.section_end);
    add_line_box(window, "编辑框5", 712, 312, 48, 40, config.size_marker);
    add_line_box(window, "编辑框6", 712, 304, 80, 20, box6);
    add_line_box(window, "编辑框7", 736, 280, 80, 20, box7);
    add_line_box(window, "编辑框8", 784, 168, 56, 64, config.id_marker);
    add_line_box(window, "编辑框9", 680, 280, 80, 20, config.password_marker);
    add_line_box(window, "编辑框10", 720, 192, 80, 20, config.link_marker);

    add_hidden_menu(window);

    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);

    the_window = window;
    track_program_window(window);
    return window;
}

void show_main_window() {
    QWidget* window = the_window;
    if (!window) return;
    // Centred from the full screen size (not the work area) and the design outer size, as integer division.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect full = screen->geometry();
        window->move(full.left() + (full.width() - main_window_outer_size.width()) / 2,
                     full.top() + (full.height() - main_window_outer_size.height()) / 2);
    }
    window->show();
}

QWidget* main_window() { return the_window; }

QWidget* main_window_control(const QString& name) {
    QWidget* window = the_window;
    if (!window) return nullptr;
    return window->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
}

}  // namespace quorvelv
