// The demo controller on its in-process line, opened through the port component (every system).
#include "serial/ComPort.h"
#include "sim/Demo.h"
#include "tests/support/PortLoopTest.h"

namespace lum {
namespace {

using DemoTest = test::PortLoopTest;

// Status records of the chosen model (Kind 1, code 21, 36 bytes, model byte 201 = C9) come through
// the port; stopping the controller under the open port fails the port once.
TEST_F(DemoTest, RecordsOfTheModelThroughThePortUntilStopped) {
    sim::DemoController demo;
    EXPECT_THROW(demo.Start(77), std::invalid_argument);
    TComPort port;
    std::string received;
    port.OnDataRecived = [&](TCustomSerialPort*, std::uint32_t) { received += port.ReadString(); };
    port.SetDevicePath(demo.Start(201, std::chrono::milliseconds(50)));
    EXPECT_THROW(demo.Start(201), std::logic_error);
    port.Open();
    EXPECT_TRUE(Until([&] { return received.find("\x10" "0115000024C9") != std::string::npos; })) << received;
    demo.Stop();
    ASSERT_TRUE(Until([&] { return !port.Connected(); }));
    EXPECT_EQ(errors.size(), 1u);
}

}  // namespace
}  // namespace lum
