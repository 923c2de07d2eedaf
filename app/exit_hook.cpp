#include "app/exit_hook.hpp"

#include <atomic>

namespace quorvelv {
namespace {

// A fatal stop on a background thread may empty the slot while the user-interface thread reads it.
std::atomic<exit_routine> slot{nullptr};

}  // namespace

void register_exit_hook(exit_routine routine) { slot.store(routine); }

void run_exit_hook() {
    if (const exit_routine routine = slot.exchange(nullptr)) routine();
}

void clear_exit_hook() { slot.store(nullptr); }

}  // namespace quorvelv
