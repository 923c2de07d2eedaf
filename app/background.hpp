#pragma once
// Background work: one detached thread per routine, and the control requests through which a routine reaches
// the windows. Every request is carried out on the user-interface thread, one at a time and in the order made,
// only between event handlers or inside waits that take events; the caller waits for the result.

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include <QPointer>
#include <QWidget>

namespace quorvelv {

using background_routine = void (*)();

// A new detached thread running the routine; true when the thread was created. Nobody waits for it.
bool start_background(background_routine routine);

// Runs the request on the user-interface thread and waits for it; on that thread itself it runs at once.
// Returns false without running it when the program is shutting down (the loop has ended).
bool run_control_request(const std::function<void()>& request);

// A control request on one widget: runs `request(widget)` on the user-interface thread and hands back its
// result; fails quietly (the fallback) when the widget is gone or the program is shutting down.
// The QPointer must have been taken on the user-interface thread (inside an earlier request, for instance).
template <typename Widget, typename Request>
auto control_request(const QPointer<Widget>& widget, Request request,
                     decltype(request(static_cast<Widget*>(nullptr))) fallback = {}) {
    using result_type = decltype(request(static_cast<Widget*>(nullptr)));
    std::optional<result_type> result;
    run_control_request([&] {
        if (widget) result = request(widget.data());
    });
    return result ? std::move(*result) : fallback;
}

template <typename Widget, typename Request>
void control_action(const QPointer<Widget>& widget, Request request) {
    run_control_request([&] {
        if (widget) request(widget.data());
    });
}

// Queues the window's closing on the user-interface thread and returns at once; nothing happens when the
// window is gone by then, or when the program is shutting down.
void queue_close_request(const QPointer<QWidget>& window);

// --- For the program's frame (start-up, shutdown, message boxes, fatal stop) and for tests ---------------

// True on the thread that created the application object, the user-interface thread.
bool on_user_interface_thread();

// Start-up, on the user-interface thread: creates the relay object that receives the requests of background
// threads. Requests create it themselves when this was not called (tests).
void prepare_background_work();

// The end of the loop: from now on every request fails quietly and routines waiting for one go on at once.
void end_background_work();
bool background_work_ended();

// Shutdown: destroys the relay; requests still queued are dropped unrun.
void destroy_relay();

// Like run_control_request, but the caller waits until the request calls `finish` (at once or later, from the
// user-interface thread), or until the program shuts down; false then. From the user-interface thread it runs
// the request and returns without waiting for `finish`.
bool run_control_request_until(const std::function<void(std::function<void()> finish)>& request);

// Queues the task to the user-interface thread without waiting; false when the program is shutting down.
bool post_to_user_interface_thread(std::function<void()> task);

// Background routines started and not yet ended (tests and benchmarks wait for it to reach 0).
std::int32_t background_routines_running();

}  // namespace quorvelv
