#pragma once
// The program's own application icon, drawn at start rather than carried as a file.

#include <QIcon>

namespace quorvelv {

QIcon program_icon();

}  // namespace quorvelv
