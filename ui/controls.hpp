#pragma once
// The operations the program performs on the main window's controls, on the user-interface thread. Texts are
// GBK bytes; each control gives back exactly the bytes written into it.

#include <string>
#include <string_view>

class QComboBox;
class QTreeWidget;
class QWidget;

namespace quorvelv {

// Edit boxes (QLineEdit, or QPlainTextEdit for the multi-line box). A text set by the program comes back byte
// for byte, CR and LF included, while it is unchanged; a text the user edited comes back converted, the
// multi-line box giving its line breaks as CR LF.
std::string box_text(const QWidget* box);
void set_box_text(QWidget* box, std::string_view text);

// The report list. Rows and columns count from 0; a row outside the list reads as the empty text and is not
// written.
void clear_rows(QTreeWidget* list);
int append_row(QTreeWidget* list, std::string_view first_cell);  // the new row's index
void set_cell(QTreeWidget* list, int row, int column, std::string_view text);
int row_count(const QTreeWidget* list);
std::string cell_text(const QTreeWidget* list, int row, int column);
int selected_row(const QTreeWidget* list);  // -1 when no row is selected

// The drop-down list: entries stay in the order added.
void clear_entries(QComboBox* combo);
int add_entry(QComboBox* combo, std::string_view text);  // the new entry's index
int entry_count(const QComboBox* combo);
std::string entry_text(const QComboBox* combo, int index);

}  // namespace quorvelv
