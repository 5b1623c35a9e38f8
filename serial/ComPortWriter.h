#pragma once
// The serial port as the transactions' port writer: WriteString queues the whole frame
// text for the write thread. Main thread only, like the port.
#include "link/Transactions.h"
#include "serial/ComPort.h"

namespace lum {

class ComPortWriter : public IPortWriter {
public:
    explicit ComPortWriter(TCustomSerialPort& port) : port_(port) {}
    void WriteString(const std::string& text) override { port_.WriteString(text); }

private:
    TCustomSerialPort& port_;
};

}  // namespace lum
