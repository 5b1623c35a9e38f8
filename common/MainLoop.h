#pragma once
// A plain main-thread event loop for programs and tests without a window system:
// any thread may Post() work; the thread that owns the loop runs it in RunPending(),
// RunFor() or RunUntil(). Waiting sleeps on a condition variable (no polling).
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "common/EventPump.h"

namespace lum {

class MainLoop : public IEventPump {
public:
    using Task = std::function<void()>;

    // Any thread.
    void Post(Task task);

    // Owner thread only.
    void RunPending(std::chrono::milliseconds maxWait) override;
    // Runs tasks for the given time.
    void RunFor(std::chrono::milliseconds duration);
    // Runs tasks until pred() holds (checked after each task) or the timeout passes; returns pred().
    bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);
    // Runs what is queued now, without waiting; returns the number of tasks run.
    int RunQueued();

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Task> tasks_;
};

}  // namespace lum
