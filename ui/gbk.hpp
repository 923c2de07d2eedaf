#pragma once
// GBK (code page 936) at the edges: the program's texts stay GBK bytes and are converted only where they enter
// or leave a widget.

#include <string>
#include <string_view>

#include <QString>

namespace quorvelv {

QString gbk_to_qstring(std::string_view bytes);   // invalid bytes show as U+FFFD, the rest decodes normally
std::string qstring_to_gbk(const QString& text);  // characters GBK lacks become "?"

}  // namespace quorvelv
