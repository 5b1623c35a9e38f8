// The demo controller on its in-process line, opened through the port component (every system).
#include <stdexcept>
#include <string>

#include "serial/ComPort.h"
#include "sim/Demo.h"
#include "tests/support/PortLoopTest.h"

namespace lum {
namespace {

using namespace std::chrono_literals;

class DemoTest : public test::PortLoopTest {
  protected:
    void TearDown() override {
        port.Close();
        demo.Stop();
        PortLoopTest::TearDown();
    }
    void OpenDemo(std::uint8_t model) {
        port.OnDataRecived = [this](TCustomSerialPort*, std::uint32_t) { received += port.ReadString(); };
        port.SetBaudRate(br9600);
        port.SetDevicePath(demo.Start(model, 50ms));
        port.Open();
    }
    sim::DemoController demo;
    TComPort port;
    std::string received;
};

// Kind 1, code 21, address 0, 36 data bytes, then the model byte.
TEST_F(DemoTest, StatusRecordsOfTheChosenModelArriveThroughThePort) {
    for (const auto& [model, hex] : {std::pair{200, "C8"}, {201, "C9"}, {30, "1E"}}) {
        received.clear();
        OpenDemo(static_cast<std::uint8_t>(model));
        const std::string head = std::string("\x10") + "0115000024" + hex;
        EXPECT_TRUE(Until([&] { return received.find(head) != std::string::npos; })) << model << ": " << received;
        port.Close();
        demo.Stop();
    }
}

TEST_F(DemoTest, RefusesAnUnknownModelAndASecondStart) {
    EXPECT_THROW(demo.Start(77), std::invalid_argument);
    EXPECT_FALSE(demo.Running());
    demo.Start(200);
    EXPECT_THROW(demo.Start(200), std::logic_error);
}

TEST_F(DemoTest, StoppingUnderAnOpenPortFailsThePortOnce) {
    OpenDemo(200);
    demo.Stop();
    ASSERT_TRUE(Until([&] { return !port.Connected(); }));
    EXPECT_EQ(errors.size(), 1u);
}

}  // namespace
}  // namespace lum
