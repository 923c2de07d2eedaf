#pragma once
// Activating a row of the listing (double-click or Enter): its password to the clipboard, a message, then its
// download address to the browser.

namespace quorvelv {

void activate_resource();  // the list's row-activation handler, user-interface thread

}  // namespace quorvelv
