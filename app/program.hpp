#pragma once
// The life of the process: start-up, the one message loop, the shutdown.

class QWidget;

namespace quorvelv {

// The start-up in its order, then the message loop; returns 0 once the loop has ended.
int start_program();

// The shutdown after start_program: releases the windows, runs the exit hook once, unloads the skin engine
// and ends the process with the code, whatever background threads are still doing.
[[noreturn]] void end_program(int exit_code);

// The shutdown steps without the exit hook, ending the process with the code (the fatal stop's path).
[[noreturn]] void end_process_without_exit_hook(int exit_code);

// The main window's creation handler: starts the notice check and the first refresh, applies the skin.
void on_main_window_created();

// The exit hook: releases the notice text.
void on_program_exit();

// A window of the program: once the loop runs, the destruction of the last such window ends it.
void track_program_window(QWidget* window);

// Sets the loop flag and runs the loop while a window of the program is open; 0 when it has ended.
int run_main_loop();

}  // namespace quorvelv
