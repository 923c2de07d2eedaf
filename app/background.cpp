#include "app/background.hpp"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

#include "app/fatal_stop.hpp"

namespace quorvelv {
namespace {

// One pending request of a background routine. `done` and `abandoned` are guarded by the frame's mutex.
struct pending_request {
    std::function<void(std::function<void()>)> run;
    bool done = false;
    bool abandoned = false;  // the caller stopped waiting (shutdown): the request must never run
};

// State shared with detached threads. Deliberately never destroyed: threads may still be waiting on it while
// the process ends, and no static destructor may pull it from under them.
struct frame_state {
    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;         // the loop has ended: requests fail quietly from now on
    QObject* relay = nullptr;   // lives on the user-interface thread
    std::thread::id user_interface_thread;  // written once, before `prepared` is set
    std::atomic<bool> prepared{false};
    std::atomic<std::int32_t> routines_running{0};
};

frame_state& frame() {
    static auto* state = new frame_state;
    return *state;
}

QEvent::Type request_event_type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type task_event_type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

struct request_event : QEvent {
    explicit request_event(std::shared_ptr<pending_request> request)
        : QEvent(request_event_type()), pending(std::move(request)) {}
    std::shared_ptr<pending_request> pending;
};

struct task_event : QEvent {
    explicit task_event(std::function<void()> work) : QEvent(task_event_type()), task(std::move(work)) {}
    std::function<void()> task;
};

void finish(const std::shared_ptr<pending_request>& pending) {
    auto& state = frame();
    {
        const std::lock_guard lock(state.mutex);
        pending->done = true;
    }
    state.changed.notify_all();
}

// The receiver of background requests: a plain object on the user-interface thread; nothing is shown.
class relay_object final : public QObject {
public:
    bool event(QEvent* event) override {
        std::shared_ptr<pending_request> pending;
        std::function<void()> task;
        {
            // Taken before the event is read: the poster filled it in under this lock, and Qt's own queue
            // lock is one the thread sanitizer cannot see.
            const std::lock_guard lock(frame().mutex);
            if (event->type() == request_event_type()) {
                pending = static_cast<request_event*>(event)->pending;
                if (frame().ended || pending->abandoned) return true;
            } else if (event->type() == task_event_type()) {
                if (frame().ended) return true;
                task = std::move(static_cast<task_event*>(event)->task);
            }
        }
        if (pending) {
            pending->run([pending] { finish(pending); });
            return true;
        }
        if (task) {
            task();
            return true;
        }
        return QObject::event(event);
    }
};

// Called with the mutex held. The relay is made on the user-interface thread, or handed over to it.
QObject* relay_locked(frame_state& state) {
    if (!state.relay && QCoreApplication::instance()) {
        state.relay = new relay_object;
        if (state.relay->thread() != QCoreApplication::instance()->thread())
            state.relay->moveToThread(QCoreApplication::instance()->thread());
    }
    return state.relay;
}

}  // namespace

bool start_background(background_routine routine) {
    if (!routine) return false;
    auto& state = frame();
    state.routines_running.fetch_add(1);
    try {
        std::thread([routine] {
            try {
                routine();
            } catch (const std::exception& error) {
                fatal_stop(error.what());  // a failed allocation, say: a run-time fault ends the program
            } catch (...) {
                fatal_stop("unexpected exception in a background routine");
            }
            frame().routines_running.fetch_sub(1);
        }).detach();
        return true;
    } catch (const std::system_error&) {
        state.routines_running.fetch_sub(1);
        return false;
    }
}

bool on_user_interface_thread() {
    auto& state = frame();
    if (state.prepared.load(std::memory_order_acquire))
        return std::this_thread::get_id() == state.user_interface_thread;
    const QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

void prepare_background_work() {
    auto& state = frame();
    const std::lock_guard lock(state.mutex);
    relay_locked(state);
    if (state.prepared.load()) return;
    state.user_interface_thread = std::this_thread::get_id();
    state.prepared.store(true, std::memory_order_release);
}

void end_background_work() {
    auto& state = frame();
    {
        const std::lock_guard lock(state.mutex);
        state.ended = true;
    }
    state.changed.notify_all();
}

bool background_work_ended() {
    const std::lock_guard lock(frame().mutex);
    return frame().ended;
}

void destroy_relay() {
    QObject* relay = nullptr;
    {
        const std::lock_guard lock(frame().mutex);
        std::swap(relay, frame().relay);
    }
    delete relay;  // drops the requests still queued to it (their callers have stopped waiting)
}

bool run_control_request_until(const std::function<void(std::function<void()> finish)>& request) {
    auto& state = frame();
    if (on_user_interface_thread()) {
        if (background_work_ended()) return false;
        request([] {});
        return true;
    }
    auto pending = std::make_shared<pending_request>();
    pending->run = [&request](std::function<void()> done) { request(std::move(done)); };

    std::unique_lock lock(state.mutex);
    if (state.ended) return false;
    QObject* relay = relay_locked(state);
    if (!relay) return false;
    // Posting under the lock: the relay cannot be destroyed in between, and the shutdown flag is final.
    QCoreApplication::postEvent(relay, new request_event(pending));
    state.changed.wait(lock, [&] { return pending->done || state.ended; });
    if (pending->done) return true;
    pending->abandoned = true;
    return false;
}

bool run_control_request(const std::function<void()>& request) {
    if (on_user_interface_thread()) {
        if (background_work_ended()) return false;
        request();
        return true;
    }
    return run_control_request_until([&request](std::function<void()> done) {
        request();
        done();
    });
}

bool post_to_user_interface_thread(std::function<void()> task) {
    auto& state = frame();
    const std::lock_guard lock(state.mutex);
    if (state.ended) return false;
    QObject* relay = relay_locked(state);
    if (!relay) return false;
    QCoreApplication::postEvent(relay, new task_event(std::move(task)));
    return true;
}

void queue_close_request(const QPointer<QWidget>& window) {
    post_to_user_interface_thread([window] {
        if (window) window->close();
    });
}

std::int32_t background_routines_running() { return frame().routines_running.load(); }

}  // namespace quorvelv
