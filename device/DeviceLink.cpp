#include "device/DeviceLink.h"

#include <algorithm>
#include <utility>

namespace lum {

DeviceLink::DeviceLink(TCustomSerialPort& port, IEventPump& pump, Transactions::EchoHook echo)
    : Writer(port),
      Tx(State, Writer, pump, std::move(echo)),
      Reconnect([&port] { port.Open(); }, [this] { return Tx.Busy(); }),
      port_(port),
      portOpened_(std::move(port.OnPortOpen)) {
    port_.OnPortOpen = [this](TCustomSerialPort* sender) {
        Tx.NewConnection();
        if (portOpened_) portOpened_(sender);
    };
    Tx.DeviceGone = [this] { return Reconnect.Waiting(); };
    port_.OnSyncEvent = [this](TCustomSerialPort*, TCoreEvent kind, std::uint32_t data, std::exception_ptr) {
        if (kind != ceException || data != kWorkerStopped) return;
        const std::string name = PortName();
        Tx.DeviceLost();  // the transaction waiting ends as the loss is delivered, not after its tries
        if (PortLost) PortLost(name);
        Reconnect.Lost(name);
    };
}

DeviceLink::~DeviceLink() {
    port_.OnPortOpen = std::move(portOpened_);
    port_.OnSyncEvent = nullptr;
    if (attached_) port_.OnDataRecived = nullptr;
}

int DeviceLink::ReplyWaitTicksFor(std::optional<std::chrono::milliseconds> roundTrip) {
    if (!roundTrip) return kReplyWaitTicks;
    const long long tick = kTickPeriod.count();
    const long long trip = std::max<long long>(roundTrip->count(), 1);  // a network adds at least one tick
    return kReplyWaitTicks + static_cast<int>((trip + tick - 1) / tick);
}

std::string DeviceLink::PortName() const {
    if (const auto* com = dynamic_cast<const TCustomComPort*>(&port_)) return com->Address().Name();
    return port_.Name();
}

void DeviceLink::DataReceived(std::uint32_t count) {
    // The first receive of a newly opened port comes before any reply can.
    if (const auto roundTrip = port_.RoundTrip(); roundTrip != roundTrip_) {
        roundTrip_ = roundTrip;
        Tx.SetReplyWait(ReplyWaitTicksFor(roundTrip) * kTickPeriod);
    }
    Rx.DataReceived(static_cast<int>(count), [this] { return port_.ReadString(); });
}

void DeviceLink::Attach() {
    port_.OnDataRecived = [this](TCustomSerialPort*, std::uint32_t count) { DataReceived(count); };
    attached_ = true;
}

}  // namespace lum
