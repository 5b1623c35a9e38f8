#pragma once
// Opening a lost port again: after the device has gone (an adapter pulled, the peer of a
// pseudo-terminal ended, a connection dropped) the same port is tried again and again, with a
// pause that grows from kFirstReconnectPause, doubling, up to kLongestReconnectPause, until it
// opens or the owner stops the attempts (another port chosen, the window closing).
//
//   Reconnector r(openFn, busyFn);
//   r.Enable(true);
//   r.Lost("COM7");        // from the port's failure report; the first attempt is due later
//   ...
//   r.Tick();              // when the timer armed through Arm fires, or in every loop step
//
// While an operation holds the link (busy() true) no attempt is made: the operation ends on the
// dead line with its own failure and is never carried on over the new connection; the attempt
// follows the next Tick after it.
//
// Threads: main thread only (the thread that serves the port's events). Open runs there.
#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace lum {

inline constexpr std::chrono::milliseconds kFirstReconnectPause{250};
inline constexpr std::chrono::milliseconds kLongestReconnectPause{5000};
// How soon a Tick that found the link busy looks again.
inline constexpr std::chrono::milliseconds kBusyRecheckPause{250};

// The pause before attempt `attempt` (0 for the first after the loss): 250 ms doubling, at most 5 s.
std::chrono::milliseconds ReconnectPause(int attempt);

// The status text of the attempts: "Переподключение к COM7…" (UTF-8).
std::string ReconnectingText(const std::string& portName);

class Reconnector {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // Opens the port once; raises when it cannot.
    using OpenFn = std::function<void()>;

    explicit Reconnector(
        OpenFn open, std::function<bool()> busy = {},
        Clock clock = [] { return std::chrono::steady_clock::now(); });
    Reconnector(const Reconnector&) = delete;
    Reconnector& operator=(const Reconnector&) = delete;

    // Off by default: a loss then starts nothing (the commands that end on a loss).
    void Enable(bool on);
    bool Enabled() const { return enabled_; }

    // The port `portName` failed while open. When enabled, attempts begin: the first is due after
    // ReconnectPause(0).
    void Lost(const std::string& portName);
    // No more attempts (another port chosen, the window closing, the command ending).
    void Stop();
    // Attempts are going on.
    bool Waiting() const { return due_.has_value(); }
    // When the next attempt is due; nothing when none is.
    std::optional<std::chrono::steady_clock::time_point> Due() const { return due_; }
    // Attempts made since the loss.
    int Attempts() const { return attempts_; }
    const std::string& PortName() const { return portName_; }

    // Makes the attempt that is due, if one is: true when the port opened. A failed attempt
    // arms the next one with a longer pause.
    bool Tick();

    // Optional: asked to call Tick() after the pause (a one-shot timer); owners that call Tick()
    // in every loop step leave it empty.
    std::function<void(std::chrono::milliseconds pause)> Arm;
    // Runs before each attempt, with the port's name.
    std::function<void(const std::string& portName)> Attempting;
    // Runs when the port has opened again.
    std::function<void(const std::string& portName)> Resumed;

  private:
    void Schedule(std::chrono::milliseconds pause);

    OpenFn open_;
    std::function<bool()> busy_;
    Clock clock_;
    bool enabled_ = false;
    bool opening_ = false;
    std::optional<std::chrono::steady_clock::time_point> due_;
    int attempts_ = 0;
    std::string portName_;
};

}  // namespace lum
