#pragma once
// A request to stop a long operation (a configuration read or write, a journal reading).
// Whoever the user asks sets it (the window's "Стоп" button or Esc, lumctl's interrupt);
// the operation's loops and the link's waits look at it and end at the next chance, never
// half-way through sending a frame.
//
// Threads: Request may be called from any thread (and from a signal handler: the flag is
// lock-free); Reset and the checks on the thread that runs the operation.
#include <atomic>

namespace lum {

class CancelToken {
  public:
    void Request() noexcept { requested_.store(true, std::memory_order_relaxed); }
    void Reset() noexcept { requested_.store(false, std::memory_order_relaxed); }
    bool Requested() const noexcept { return requested_.load(std::memory_order_relaxed); }

  private:
    std::atomic<bool> requested_{false};
};

}  // namespace lum
