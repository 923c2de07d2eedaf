#pragma once
// The main window "Quorvelv.2.3": the listing, the paging buttons, the page-number field, and the configuration
// boxes of the parser placed beyond its visible area. Every control's object name is its own name (按钮5,
// 编辑框1, 超级列表框1, ...). User-interface thread only.

#include <QSize>
#include <QString>

class QWidget;

namespace quorvelv {

// The client area at the design size (outer size 574 x 318 with the frame): it shows the listing and the six
// controls below it, and none of the controls that lie at x = 648 and beyond.
inline constexpr QSize main_window_client_size{568, 290};
inline constexpr QSize main_window_outer_size{574, 318};

// Creates the window and all its controls with their initial texts and binds their events; not shown yet.
QWidget* create_main_window();

// Shows the window centred on the primary screen, from the full screen size and the design outer size.
void show_main_window();

// The live main window, or null before its creation and after its destruction.
QWidget* main_window();

// One of the main window's controls by its name, or null when the window or the control does not exist.
QWidget* main_window_control(const QString& name);

}  // namespace quorvelv
