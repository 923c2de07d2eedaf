#pragma once
// The program's only kind of message: a box captioned "信息：" with the text and one OK button, no icon, no owner.

#include <string_view>

namespace quorvelv {

// On the user-interface thread: modal to the whole application, returns after OK.
// From a background routine: shown by the user-interface thread without disabling any window, and the calling
// routine blocks until OK (or until the program shuts down).
void show_message(std::string_view text);  // text as GBK bytes

}  // namespace quorvelv
