#pragma once
// What every scripted test build of the program shares: markers on stdout, settings from the environment,
// browser launches printed instead of opened, message boxes answered as soon as they show, and the exit hook
// observed. The program itself reads no environment variable: only these test builds do.

#include <functional>
#include <string>

namespace quorvelv::testing {

void say(const std::string& marker);  // one line on stdout, flushed at once
std::string setting(const char* name, const char* fallback = "");

// Call from inside the application object's constructor (step 1 of the start-up): points the site at
// QUORVELV_TEST_SITE, answers every message box with "box <title>: <text>" after polling every box_poll_ms,
// and on the loop's first turn replaces the exit hook by one that says "exit hook", then runs first_turn.
void prepare_scripted_run(int box_poll_ms, std::function<void()> first_turn);

}  // namespace quorvelv::testing
