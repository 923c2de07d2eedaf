#pragma once
// The modal add-resource window "添加新资源".

#include <QPointer>
#include <QWidget>

namespace quorvelv {

// The click handler of the main window's 按钮6: opens a fresh window modally and returns once it is destroyed.
void open_add_resource_window();

// The window while it is open, else null. User-interface thread only; background routines take it inside a
// control request.
QPointer<QWidget> add_resource_window();

}  // namespace quorvelv
