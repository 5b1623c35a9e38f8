#include "device/DeviceLink.h"

#include <utility>

namespace lum {

DeviceLink::DeviceLink(TCustomSerialPort& port, IEventPump& pump, Transactions::EchoHook echo)
    : Writer(port), Tx(State, Writer, pump, std::move(echo)), port_(port), portOpened_(std::move(port.OnPortOpen)) {
    port_.OnPortOpen = [this](TCustomSerialPort* sender) {
        Tx.NewConnection();
        if (portOpened_) portOpened_(sender);
    };
}

DeviceLink::~DeviceLink() {
    port_.OnPortOpen = std::move(portOpened_);
    if (attached_) port_.OnDataRecived = nullptr;
}

void DeviceLink::DataReceived(std::uint32_t count) {
    Rx.DataReceived(static_cast<int>(count), [this] { return port_.ReadString(); });
}

void DeviceLink::Attach() {
    port_.OnDataRecived = [this](TCustomSerialPort*, std::uint32_t count) { DataReceived(count); };
    attached_ = true;
}

}  // namespace lum
