#pragma once
// Hands an address to the desktop's default web browser.

#include <string_view>

namespace quorvelv {

// Does not wait and looks at no outcome. Only http and https addresses are opened; others are dropped.
// Callable from any thread: a background thread's launch is carried out by the user-interface thread.
void open_in_browser(std::string_view address);

}  // namespace quorvelv
