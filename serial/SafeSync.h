#pragma once
// Main-thread delivery: worker threads hand events to the main thread and wait until the main thread
// has run them, for at most a time bound.
//
// One facility per process: a table of 64 slots (handler, owner, identifier, enabled flag) and a queue
// of delivery requests, guarded by one mutex that is never held while a handler runs or a caller waits.
// A request carries its own message; the main thread looks its slot up when it runs it, so a request
// whose slot has been disabled or removed in the meantime is dropped, never run against a freed owner.
//
// Waking the main thread is pluggable and does not depend on any window system: set a waker once at
// start; it is called (on the worker's thread) whenever a request is queued, and must arrange for the
// main thread to call ServePending() soon. A Qt program posts an event whose handler calls
// ServePending(); programs and tests without a window system use UseMainLoopForSafeSync().
//
// Threads: Register, Unregister, Enable and SyncCall on any thread; SetWaker and SetErrorHandler once,
// at start, on the main thread (that thread becomes the main thread); ServePending and ServeUntil on
// the main thread.
#include <any>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>

namespace lum {

class MainLoop;

class SafeSync {
  public:
    // Runs on the main thread with the slot's owner and the request's message.
    using Handler = void (*)(void* owner, std::any& message);

    static constexpr int kSlotCount = 64;
    static constexpr std::chrono::milliseconds kDefaultBound{2000};

    // Takes the first free slot, disabled, with a new identifier (never 0); returns 0 when all 64
    // slots are taken.
    static std::uint32_t Register(Handler handler, void* owner);
    // Empties the slot; its queued requests are dropped and callers waiting for them are released.
    static void Unregister(std::uint32_t id);
    // Turns the slot on or off. Turning it off drops its queued requests and releases their callers.
    static void Enable(std::uint32_t id, bool on);

    // Delivers `message` to the slot's handler on the main thread and waits until it has run, the slot
    // is turned off or removed, or `bound` has passed. Succeeds when the slot is still registered and
    // enabled afterwards (also when the bound ran out: the request then still runs later). Fails at
    // once for a slot that is not registered or not enabled. Called on the main thread itself, it runs
    // the handler directly.
    static bool SyncCall(std::uint32_t id, std::chrono::milliseconds bound = kDefaultBound,
                         std::any message = {});

    // The function that wakes the main thread (null for none); the calling thread becomes the main
    // thread.
    static void SetWaker(std::function<void()> waker);
    // Where an error escaping a handler goes (the application's error handling). Without one, the
    // first such error passes on to the caller of ServePending / ServeUntil after the requests queued
    // at the call have run.
    static void SetErrorHandler(std::function<void(std::exception_ptr)> handler);

    // Main thread: runs the requests queued now; returns how many were taken from the queue.
    static int ServePending();
    // Main thread: runs requests as they come until done() holds; sleeps in between. done() is
    // checked under the facility's mutex whenever NotifyWaiters() is called and after each request.
    // On any other thread it only waits.
    static void ServeUntil(const std::function<bool()>& done);
    // Any thread: makes ServeUntil check its condition again.
    static void NotifyWaiters();

    // For tests: the identifier the next registration starts looking from.
    static void SetNextIdentifier(std::uint32_t id);
};

// Binds the delivery to a plain main loop: a queued request posts ServePending() to `loop`. The
// calling thread (the loop's owner) becomes the main thread. Call SetWaker(nullptr) before the loop
// goes away.
void UseMainLoopForSafeSync(MainLoop& loop);

}  // namespace lum
