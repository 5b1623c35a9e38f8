#pragma once
// The tool's side of the serial line, wired once: the receive path reads every pending
// character of the port in its data-received handler, and the transactions write their
// frames to the same port. The window, the command-line tool, the tests and the
// benchmarks all use this one wiring, so each sees the line exactly as the others do.
//
//   TComPort port;  port.SetBaudRate(br9600);  port.SetDevicePath(path);
//   DeviceLink link(port, pump, echo);
//   link.Attach();            // or call link.DataReceived(count) from your own handler
//   port.Open();
//   link.Tx.ReadBlock(0, 64, bytes);
//
// The link takes the port's OnPortOpen (keeping a handler set before it, and calling it
// after its own step): each opening is a new connection, on which the transactions try
// chaining anew (Transactions::NewConnection).
//
// A port that fails while open (its worker reports that it stopped) is closed by the port and
// its error goes to SafeSync's error handler as before; the link first ends the transaction
// under way (Transactions::DeviceLost: a journal reading or a transfer ends at once, in the
// window as in lumctl), runs PortLost and hands the loss to Reconnect, which, once enabled,
// opens the same port again (device/Reconnect.h). The link takes the port's OnSyncEvent for this.
//
// Threads: main thread only, the thread whose pump delivers the port's events. The port
// and the pump must outlive the link.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/EventPump.h"
#include "link/LinkState.h"
#include "link/ReceivePath.h"
#include "device/Reconnect.h"
#include "link/Transactions.h"
#include "serial/ComPort.h"

namespace lum {

// The serial port as the transactions' port writer: WriteString queues the whole frame
// text for the port's write thread. Counts the frames written.
class ComPortWriter : public IPortWriter {
  public:
    explicit ComPortWriter(TCustomSerialPort& port) : port_(port) {}
    void WriteString(const std::string& text) override {
        port_.WriteString(text);
        ++Writes;
    }
    long long Writes = 0;

  private:
    TCustomSerialPort& port_;
};

class DeviceLink {
  public:
    DeviceLink(TCustomSerialPort& port, IEventPump& pump, Transactions::EchoHook echo = {});
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;
    // Gives the port back its OnPortOpen and unhooks the other handlers the link set.
    ~DeviceLink();

    // The port's data-received handler: hands every pending character to the receive path.
    // On a network port it first sizes the reply wait from the port's round trip
    // (ReplyWaitTicksFor).
    void DataReceived(std::uint32_t count);
    // Makes DataReceived the port's OnDataRecived (for owners without a handler of their own).
    void Attach();

    TCustomSerialPort& Port() { return port_; }
    // The name the port's messages use: "COM7", or the device path.
    std::string PortName() const;

    // Runs when the port has failed while open, before its error is shown, with the port's name.
    std::function<void(const std::string& portName)> PortLost;

    LinkState State;
    ReceivePath Rx{State};
    ComPortWriter Writer;
    Transactions Tx;
    // Opens the lost port again while enabled; no attempt while a transaction holds the link.
    Reconnector Reconnect;

    // The reply wait for a port's round trip: kReplyWaitTicks, plus the round trip in whole
    // ticks (rounded up, at least one) when there is one.
    static int ReplyWaitTicksFor(std::optional<std::chrono::milliseconds> roundTrip);

  private:
    TCustomSerialPort& port_;
    TNotifyEvent portOpened_;  // the OnPortOpen the port had before
    bool attached_ = false;
    std::optional<std::chrono::milliseconds> roundTrip_;
};

}  // namespace lum
