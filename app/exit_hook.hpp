#pragma once
// The exit hook: one slot for one routine, called once at the end of a normal run, emptied by a fatal stop.

namespace quorvelv {

using exit_routine = void (*)();

void register_exit_hook(exit_routine routine);  // a later registration replaces an earlier one
void run_exit_hook();                           // calls the routine once, if any, and empties the slot
void clear_exit_hook();                         // empties the slot without calling it

}  // namespace quorvelv
