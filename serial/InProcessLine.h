#pragma once
// A serial line inside the process, for the demo mode on every system: a port component opens one end
// under the line's name (TCustomComPort::SetDevicePath(line->Name())), exactly as it opens a COM port,
// with the same worker threads, event delivery and receive path; the other end, the peer, is driven by
// whoever made the line (the simulated controller of sim/Demo.h).
//
// The port's end behaves as the core expects of a device (serial/SerialPlatform.h): a received-character
// event once per arrival, an input queue of the size the port asked for (characters beyond it are
// dropped and reported as kCeRxOver), writes that reach the peer at once, an exclusive open. When the
// line goes away while the port is open, the port sees a device that has failed, as with an adapter
// pulled out.
//
// Threads: Create and destruction on any thread; the peer operations (PeerRead, PeerWrite) on one
// thread at a time; Interrupt and PortOpen on any thread.
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "serial/SerialPlatform.h"

namespace lum {

class InProcessLine {
  public:
    // A new line with a name of its own ("demo:1", "demo:2", ...), unknown to the system's devices.
    static std::shared_ptr<InProcessLine> Create();
    // The name goes; a port still open on the line fails as a lost device.
    ~InProcessLine();
    InProcessLine(const InProcessLine&) = delete;
    InProcessLine& operator=(const InProcessLine&) = delete;

    const std::string& Name() const;

    // Waits until the port has written something, Interrupt() is called or maxWait passes; returns what
    // the port wrote (possibly nothing).
    std::string PeerRead(std::chrono::milliseconds maxWait);
    // Puts the characters into the port's input queue; nothing while no port is open (as on a line
    // nobody listens to).
    void PeerWrite(std::string_view bytes);
    // Ends a PeerRead at once (the next one waits again).
    void Interrupt();
    // A port has this line open.
    bool PortOpen() const;

    struct State;

  private:
    explicit InProcessLine(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;
};

// The device of `path` for the port core: the port's end of the in-process line of that name, else the
// system's device (SerialDevice::Open). Main thread.
std::unique_ptr<serial_os::SerialDevice> OpenLineDevice(const std::string& path, serial_os::OpenFailure& failure,
                                                        serial_os::OsError& error);

}  // namespace lum
