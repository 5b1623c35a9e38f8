#include "common/MainLoop.h"

namespace lum {

void MainLoop::Post(Task task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    cv_.notify_one();
}

int MainLoop::RunQueued() {
    std::deque<Task> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(tasks_);
    }
    for (auto& t : batch) t();
    return static_cast<int>(batch.size());
}

void MainLoop::RunPending(std::chrono::milliseconds maxWait) {
    {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, maxWait, [this] { return !tasks_.empty(); });
    }
    RunQueued();
}

void MainLoop::RunFor(std::chrono::milliseconds duration) {
    RunUntil([] { return false; }, duration);
}

bool MainLoop::RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + timeout;
    while (!pred()) {
        const auto now = clock::now();
        if (now >= deadline) return false;
        RunPending(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                   std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace lum
