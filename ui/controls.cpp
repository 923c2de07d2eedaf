#include "ui/controls.hpp"

#include <QByteArray>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QString>
#include <QTreeWidget>
#include <QVariant>

#include "ui/gbk.hpp"

namespace quorvelv {
namespace {

// Where a control keeps the bytes it was given: the widget text is only their picture on the screen.
constexpr int bytes_role = Qt::UserRole;
constexpr const char* set_bytes_property = "quorvelv_bytes";
constexpr const char* set_text_property = "quorvelv_shown";

QByteArray to_byte_array(std::string_view bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string to_string(const QByteArray& bytes) {
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A cell shows one line: line breaks (the site's names end in CR LF, passwords and links begin with it) are
// not drawn, a break inside the text shows as a blank.
QString cell_picture(std::string_view bytes) {
    QString text = gbk_to_qstring(bytes);
    QString picture;
    picture.reserve(text.size());
    bool in_break = false;
    for (const QChar c : text) {
        if (c == u'\r' || c == u'\n') {
            in_break = true;
            continue;
        }
        if (in_break && !picture.isEmpty()) picture += u' ';
        in_break = false;
        picture += c;
    }
    return picture;
}

QString plain_text_picture(std::string_view bytes) {
    QString text = gbk_to_qstring(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

QTreeWidgetItem* row_item(const QTreeWidget* list, int row) {
    if (!list || row < 0 || row >= list->topLevelItemCount()) return nullptr;
    return list->topLevelItem(row);
}

}  // namespace

std::string box_text(const QWidget* box) {
    QString shown;
    bool multi_line = false;
    if (const auto* line = qobject_cast<const QLineEdit*>(box)) {
        shown = line->text();
    } else if (const auto* plain = qobject_cast<const QPlainTextEdit*>(box)) {
        shown = plain->toPlainText();
        multi_line = true;
    } else {
        return {};
    }
    if (box->property(set_text_property).toString() == shown && box->property(set_bytes_property).isValid())
        return to_string(box->property(set_bytes_property).toByteArray());
    if (multi_line) shown.replace(u'\n', QStringLiteral("\r\n"));
    return qstring_to_gbk(shown);
}

void set_box_text(QWidget* box, std::string_view text) {
    QString shown;
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        shown = gbk_to_qstring(text);
        line->setText(shown);
        shown = line->text();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) {
        plain->setPlainText(plain_text_picture(text));
        shown = plain->toPlainText();
    } else {
        return;
    }
    box->setProperty(set_bytes_property, to_byte_array(text));
    box->setProperty(set_text_property, shown);
}

void clear_rows(QTreeWidget* list) {
    if (list) list->clear();
}

int append_row(QTreeWidget* list, std::string_view first_cell) {
    if (!list) return -1;
    auto* item = new QTreeWidgetItem;
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
    for (int column = 0; column < list->columnCount(); ++column) item->setData(column, bytes_role, QByteArray());
    item->setData(0, bytes_role, to_byte_array(first_cell));
    item->setText(0, cell_picture(first_cell));
    list->addTopLevelItem(item);
    return list->topLevelItemCount() - 1;
}

void set_cell(QTreeWidget* list, int row, int column, std::string_view text) {
    QTreeWidgetItem* item = row_item(list, row);
    if (!item || column < 0 || column >= list->columnCount()) return;
    item->setData(column, bytes_role, to_byte_array(text));
    item->setText(column, cell_picture(text));
}

int row_count(const QTreeWidget* list) { return list ? list->topLevelItemCount() : 0; }

std::string cell_text(const QTreeWidget* list, int row, int column) {
    const QTreeWidgetItem* item = row_item(list, row);
    if (!item || column < 0 || column >= list->columnCount()) return {};
    return to_string(item->data(column, bytes_role).toByteArray());
}

int selected_row(const QTreeWidget* list) {
    if (!list) return -1;
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) return -1;
    return list->indexOfTopLevelItem(selected.front());
}

void clear_entries(QComboBox* combo) {
    if (combo) combo->clear();
}

int add_entry(QComboBox* combo, std::string_view text) {
    if (!combo) return -1;
    // An entry added to an empty list becomes the current one in Qt; here adding selects nothing and leaves
    // the field as it was.
    const int current = combo->currentIndex();
    const QString field = combo->currentText();
    combo->addItem(gbk_to_qstring(text), to_byte_array(text));
    if (combo->currentIndex() != current) {
        combo->setCurrentIndex(current);
        combo->setEditText(field);
    }
    return combo->count() - 1;
}

int entry_count(const QComboBox* combo) { return combo ? combo->count() : 0; }

std::string entry_text(const QComboBox* combo, int index) {
    if (!combo || index < 0 || index >= combo->count()) return {};
    return to_string(combo->itemData(index, bytes_role).toByteArray());
}

}  // namespace quorvelv
