#pragma once
// Background work: one detached thread per routine, and the control requests through which a routine reaches
// the windows. Every request is carried out on the user-interface thread, one at a time and in the order made,
// only between event handlers or inside waits that take events; the caller waits for the result.

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
// window is gone by then.
void queue_close_request(const QPointer<QWidget>& window);

}  // namespace quorvelv
