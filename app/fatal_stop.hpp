#pragma once
// A fatal run-time fault: an error box, then the end of the process with exit code -1, without the exit hook.

#include <string_view>

namespace quorvelv {

// Callable from any thread: a background thread hands the box and the end to the user-interface thread, the
// only one that may show a box. The message is GBK text (ASCII is the same in both).
[[noreturn]] void fatal_stop(std::string_view message);

}  // namespace quorvelv
