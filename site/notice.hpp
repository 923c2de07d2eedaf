#pragma once
// The start-up notice: a one-line file of the site; exactly "1" opens the home page.

#include <optional>
#include <string>

namespace quorvelv {

// The background routine, started once at start. Shows nothing in any case.
void check_notice();

// The exit hook's share: releases the notice text. A check that finishes afterwards stores nothing and opens
// nothing (the program is ending).
void release_notice_text();

// The text the check stored, if it holds one (tests).
std::optional<std::string> notice_text_copy();

// Tests only: back to the state at start.
void reset_notice_for_tests();

}  // namespace quorvelv
