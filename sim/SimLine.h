#pragma once
// The line the simulated controller talks on: a pseudo-terminal or a serial device.
#include <chrono>
#include <string>
#include <string_view>

namespace lum::sim {

class ISimLine {
  public:
    virtual ~ISimLine() = default;
    // Waits until characters arrive, Interrupt() is called or maxWait passes, and returns
    // what arrived (possibly nothing). Never spins: a line that has no peer just waits.
    // The loop thread only.
    virtual std::string Read(std::chrono::milliseconds maxWait) = 0;
    // Sends the characters; what the line cannot take at once within a short bound is
    // dropped (as on a real line nobody listens to). The loop thread only.
    virtual void Write(std::string_view bytes) = 0;
    // Ends a Read at once. Any thread.
    virtual void Interrupt() = 0;
    // The path a client opens (the pseudo-terminal's slave, or the device).
    virtual std::string Path() const = 0;
};

}  // namespace lum::sim
