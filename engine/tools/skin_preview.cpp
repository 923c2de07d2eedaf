// Shows a skin on stand-ins for the program's windows, to judge a skin by eye or on a screenshot:
//
//   quorvelv_skin_preview ENGINE_LIBRARY SKIN_FILE [PASSWORD]
//
// opens the main window's visible controls, the add-resource form and a message box side by side, with
// Chinese texts and a few listing rows, after attaching the skin through the engine's entry point.

#include <cstdio>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>

#include "engine/skin_engine.hpp"

namespace {

template <typename Control>
Control* place(QWidget* parent, Control* control, int x, int y, int width, int height) {
    control->setParent(parent);
    control->setGeometry(x, y, width, height);
    return control;
}

QWidget* main_window_stand_in() {
    auto* window = new QWidget;
    window->setWindowTitle(QStringLiteral("Quorvelv.2.3"));
    window->setFixedSize(568, 290);
    auto* list = place(window, new QTreeWidget, 8, 7, 552, 233);
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("教程名称"), QStringLiteral("大小"), QStringLiteral("密码"),
                           QStringLiteral("下载地址")});
    for (const auto& [column, width] : {std::pair{0, 200}, {1, 80}, {2, 70}, {3, 300}})
        list->setColumnWidth(column, width);
    const QStringList rows[] = {
        {QStringLiteral("Photoshop 入门到精通 全套视频"), QStringLiteral("1.2 GB"), QStringLiteral("a8kq"),
         QStringLiteral("https://pan.example.com/s/1aBcD")},
        {QStringLiteral("C++ 程序设计教程（第三版）"), QStringLiteral("356 MB"), QStringLiteral("无"),
         QStringLiteral("https://pan.example.com/s/1xYz0")},
        {QStringLiteral("高等数学 同济第七版 讲解"), QStringLiteral("2.8 GB"), QStringLiteral("7hw2"),
         QStringLiteral("https://pan.example.com/s/1QwEr")},
        {QStringLiteral("英语四级 真题 听力 合集"), QStringLiteral("880 MB"), QStringLiteral("k3m9"),
         QStringLiteral("https://pan.example.com/s/1TyUi")},
    };
    for (const auto& row : rows) new QTreeWidgetItem(list, row);
    list->setCurrentItem(list->topLevelItem(1));
    place(window, new QPushButton(QStringLiteral("上一页")), 8, 247, 64, 32);
    place(window, new QPushButton(QStringLiteral("下一页")), 78, 247, 58, 32);
    place(window, new QPushButton(QStringLiteral("刷新")), 142, 247, 50, 32)->setEnabled(false);  // refreshing
    auto* page = place(window, new QLineEdit(QStringLiteral("0")), 207, 252, 31, 24);
    page->setAlignment(Qt::AlignCenter);
    place(window, new QPushButton(QStringLiteral("添加新资源")), 254, 247, 110, 32);
    place(window, new QPushButton(QStringLiteral("官方网站")), 368, 247, 110, 32);
    return window;
}

// The controls the program keeps beyond the main window's view, seen when it is maximised.
QWidget* hidden_controls_stand_in() {
    auto* window = new QWidget;
    window->setWindowTitle(QStringLiteral("Quorvelv.2.3"));
    window->setFixedSize(373, 200);
    place(window, new QLabel(QStringLiteral("页码：")), 10, 10, 33, 24);
    auto* ids = place(window, new QComboBox, 50, 12, 100, 20);
    ids->setEditable(true);
    ids->addItems({QStringLiteral("1024"), QStringLiteral("1023")});
    place(window, new QLineEdit(QStringLiteral("<div class=\"list\">")), 160, 12, 200, 20);
    auto* pattern = place(window, new QPlainTextEdit, 10, 44, 350, 100);
    pattern->setPlainText(QStringLiteral("<li>(.*?)</li>\n匹配每一项：名称、密码、链接、大小\n") +
                          QStringLiteral("第三行\n第四行\n第五行\n第六行\n第七行"));
    place(window, new QPushButton(QStringLiteral("免费1G虚拟主机+数据库+免费域名")), 10, 154, 350, 32);
    return window;
}

QWidget* add_resource_stand_in() {
    auto* window = new QWidget;
    window->setWindowTitle(QStringLiteral("添加新资源"));
    window->setFixedSize(373, 276);
    const QString captions[] = {QStringLiteral("资源名称："), QStringLiteral("网盘下载地址："),
                                QStringLiteral("大小（MB）："), QStringLiteral("密码：")};
    const int label_y[] = {9, 59, 112, 166}, field_y[] = {32, 84, 137, 190};
    for (int i = 0; i < 4; ++i) {
        place(window, new QLabel(captions[i]), i == 0 ? 16 : 17, label_y[i], i == 0 ? 64 : 85, 24);
        place(window, new QLineEdit(i == 3 ? QStringLiteral("无") : QString()), 17, field_y[i], 336, 27);
    }
    window->findChildren<QLineEdit*>().first()->setText(QStringLiteral("Python 数据分析实战"));
    place(window, new QPushButton(QStringLiteral("添加")), 272, 224, 80, 32);
    return window;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: quorvelv_skin_preview ENGINE_LIBRARY SKIN_FILE [PASSWORD]\n");
        return 2;
    }
    QLibrary library(QFile::decodeName(argv[1]));
    const auto attach = reinterpret_cast<quorvelv::skin_attach_function>(library.resolve("SkinH_AttachEx"));
    if (!attach) {
        std::fprintf(stderr, "%s\n", qPrintable(library.errorString()));
        return 2;
    }
    const int result = attach(argv[2], argc > 3 ? argv[3] : "");
    std::fprintf(stderr, "SkinH_AttachEx: %d\n", result);

    auto* main_window = main_window_stand_in();
    main_window->move(20, 20);
    main_window->show();
    auto* form = add_resource_stand_in();
    form->move(640, 20);
    form->show();
    auto* hidden = hidden_controls_stand_in();
    hidden->move(640, 360);
    hidden->show();
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("信息："),
                                QStringLiteral("密码“k3m9”已复制到剪贴板，即将打开下载地址。"), QMessageBox::Ok);
    box->move(120, 400);
    box->show();
    return application.exec();
}
