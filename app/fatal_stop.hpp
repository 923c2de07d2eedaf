#pragma once
// A fatal run-time fault: an error box, then the end of the process with exit code -1, without the exit hook.

#include <string_view>

namespace quorvelv {

// Callable from any thread: a background thread shows its box and hands the end to the user-interface thread.
[[noreturn]] void fatal_stop(std::string_view message);

}  // namespace quorvelv
