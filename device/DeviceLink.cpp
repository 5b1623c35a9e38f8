#include "device/DeviceLink.h"

#include <utility>

namespace lum {

DeviceLink::DeviceLink(TCustomSerialPort& port, IEventPump& pump, Transactions::EchoHook echo)
    : Writer(port),
      Tx(State, Writer, pump, std::move(echo)),
      Reconnect([&port] { port.Open(); }, [this] { return Tx.Busy(); }),
      port_(port) {
    port_.OnSyncEvent = [this](TCustomSerialPort*, TCoreEvent kind, std::uint32_t data, std::exception_ptr) {
        if (kind != ceException || data != kWorkerStopped) return;
        const std::string name = PortName();
        if (PortLost) PortLost(name);
        Reconnect.Lost(name);
    };
}

DeviceLink::~DeviceLink() {
    port_.OnSyncEvent = nullptr;
    if (attached_) port_.OnDataRecived = nullptr;
}

std::string DeviceLink::PortName() const {
    if (const auto* com = dynamic_cast<const TCustomComPort*>(&port_)) return com->Address().Name();
    return port_.Name();
}

void DeviceLink::DataReceived(std::uint32_t count) {
    Rx.DataReceived(static_cast<int>(count), [this] { return port_.ReadString(); });
}

void DeviceLink::Attach() {
    port_.OnDataRecived = [this](TCustomSerialPort*, std::uint32_t count) { DataReceived(count); };
    attached_ = true;
}

}  // namespace lum
